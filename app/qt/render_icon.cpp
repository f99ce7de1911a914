// SPDX-License-Identifier: GPL-2.0-or-later
// Build-time tool: draws an SVG icon once at each size the desktop asks for,
// into <out>/<N>x<N>/<context>/<name>.png for the desktop (context: apps for the
// program, mimetypes for its design files), and, unless raw is "-", as bare
// premultiplied RGBA bytes into <raw>/<N>.rgba for the program's windows, which
// then neither render nor decode anything at start.
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: render_icon SVG OUTDIR CONTEXT NAME RAWDIR|- SIZE...\n");
        return 2;
    }
    const QGuiApplication app(argc, argv);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString context = QString::fromLocal8Bit(argv[3]);
    const QString name = QString::fromLocal8Bit(argv[4]);
    const QString raw_dir = QString::fromLocal8Bit(argv[5]);
    for (int k = 6; k < argc; ++k) {
        const int size = QString::fromLocal8Bit(argv[k]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "render_icon: bad size %s\n", argv[k]);
            return 2;
        }
        // Byte-ordered, so the bytes mean the same on any machine.
        QImage image(size, size, QImage::Format_RGBA8888_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        const QString dir = QStringLiteral("%1/%2x%2/%3").arg(out, QString::number(size), context);
        const QString file = QStringLiteral("%1/%2.png").arg(dir, name);
        if (!QDir().mkpath(dir) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
        if (raw_dir == QStringLiteral("-")) {
            continue;
        }
        QFile raw(QStringLiteral("%1/%2.rgba").arg(raw_dir).arg(size));
        const auto bytes = static_cast<qint64>(image.sizeInBytes());
        if (!QDir().mkpath(raw_dir) || !raw.open(QIODevice::WriteOnly) ||
            raw.write(reinterpret_cast<const char*>(image.constBits()), bytes) != bytes) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(raw.fileName()));
            return 1;
        }
    }
    return 0;
}
