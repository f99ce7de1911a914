#include "services.h"

#include "decode/client.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

namespace padscreen_qt {

namespace {

QString from_path(const std::string& path) { return QFile::decodeName(path.c_str()); }
std::string to_path(const QString& path) { return QFile::encodeName(path).toStdString(); }

QStringList patterns_of(const QString& list) {
    QStringList out;
    for (QString pattern : list.split(u';', Qt::SkipEmptyParts)) {
        pattern = pattern.trimmed();
        // "*.*" means every file where the filter strings come from, dot or not.
        if (pattern == QLatin1String("*.*")) {
            pattern = QStringLiteral("*");
        }
        if (!out.contains(pattern)) {
            out << pattern;
        }
    }
    // The file system may be case-sensitive; pictures named FOO.BMP still count.
    const QStringList lower = out;
    for (const QString& pattern : lower) {
        const QString upper = pattern.toUpper();
        if (!out.contains(upper)) {
            out << upper;
        }
    }
    return out;
}

std::optional<platform::FileChoice> run_dialog(const platform::FileDialogOptions& options,
                                               bool save) {
    QFileDialog dialog(dialog_parent());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The path is used exactly as typed, and an existing file is replaced without asking.
        dialog.setDefaultSuffix(QString());
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    const QStringList filters = name_filters(options.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = options.filter_index - 1;
        dialog.selectNameFilter(filters.value(index >= 0 && index < filters.size() ? index : 0));
    }
    if (!options.file_name.empty()) {
        dialog.selectFile(from_path(options.file_name));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) {
        return std::nullopt;
    }
    const QString& path = chosen.first();
    return platform::FileChoice{to_path(path), to_path(QFileInfo(path).fileName())};
}

} // namespace

QStringList name_filters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(u'|');
    QStringList out;
    for (qsizetype k = 0; k + 1 < parts.size(); k += 2) {
        out << parts[k] + QStringLiteral(" (") + patterns_of(parts[k + 1]).join(u' ') +
                   QStringLiteral(")");
    }
    return out;
}

QWidget* dialog_parent() { return QApplication::activeWindow(); }

std::optional<platform::FileChoice> QtFileDialog::show_open(const platform::FileDialogOptions& o) {
    return run_dialog(o, false);
}

std::optional<platform::FileChoice> QtFileDialog::show_save(const platform::FileDialogOptions& o) {
    return run_dialog(o, true);
}

void QtMessageBox::show(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, dialog_parent());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::optional<std::string> QtTextFileWriter::write(const std::string& path,
                                                   const std::string& bytes) {
    const QString name = from_path(path);
    QSaveFile file(name);
    // Never fall back to writing the target in place: a failure must leave it whole.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString().toStdString();
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        const std::string error = file.errorString().toStdString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit()) {
        return file.errorString().toStdString();
    }
    return std::nullopt;
}

void QtApplication::quit() {
    // Queued, so that it also ends a loop that has not started yet. exit()
    // rather than quit(): quit() would first ask every window to close, and
    // a close request here is a program event.
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

tk::PicturePtr BusyCursorPictureLoader::load(const std::string& path) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    tk::PicturePtr picture = inner_->load(path);
    QGuiApplication::restoreOverrideCursor();
    return picture;
}

QtServices::QtServices(const std::string& helper_path)
    : pictures(std::make_unique<BusyCursorPictureLoader>(
          std::make_unique<picture_decode::HelperPictureLoader>(helper_path))),
      services{files, messages, *pictures, writer, app} {}

} // namespace padscreen_qt
