// The real platform services: the text-file writer on real files, the filter
// conversion of the file dialogs, and ending the event loop.
#include "codegen/code_window.h"
#include "fakes.h"
#include "program.h"
#include "services.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

namespace {

QByteArray read_all(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

std::string path_of(const QString& path) { return QFile::encodeName(path).toStdString(); }

const char* const kPictureFilter =
    "All Picture Files|*.bmp;*.dib;*.gif;*.jpg;*.wmf;*.emf;*.ico;*.cur|Bitmaps (*.bmp;*.dib)|"
    "*.bmp;*.dib|GIF Images (*.gif)|*.gif|JPEG Images (*.jpg)|*.jpg|Metafiles (*.wmf;*.emf)|"
    "*.wmf;*.emf|Icons (*.ico;*.cur)|*.ico;*.cur|All Files (*.*)|*.*";

} // namespace

class ServicesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writer_writes_exact_bytes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("crlf lines")
            << QByteArray("Penvane1.LCDWriteBitmap 0, 2, 0, 0\r\n\r\nx\r\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("high bytes and NUL") << QByteArray("\x80\xff\x00z", 4);
    }
    void writer_writes_exact_bytes() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out"));
        padscreen_qt::QtTextFileWriter writer;
        const auto error = writer.write(path_of(path), bytes.toStdString());
        QVERIFY2(!error, error ? error->c_str() : "");
        QCOMPARE(QFileInfo(path).size(), bytes.size());
        QCOMPARE(read_all(path), bytes);
        // Nothing but the file itself is left in the folder.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out"});
    }

    void writer_replaces_a_file_and_keeps_its_permissions() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("code.txt"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("a much longer old content that must vanish entirely\r\n");
        }
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        padscreen_qt::QtTextFileWriter writer;
        QVERIFY(!writer.write(path_of(path), "new\r\n"));
        QCOMPARE(read_all(path), QByteArray("new\r\n"));
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, 0640U);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"code.txt"});
    }

    void writer_refuses_a_place_it_cannot_write() {
        QTemporaryDir dir;
        const QString file_as_folder = dir.filePath(QStringLiteral("plain"));
        {
            QFile f(file_as_folder);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep");
        }
        const QStringList before =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        padscreen_qt::QtTextFileWriter writer;
        for (const QString& target : {dir.filePath(QStringLiteral("missing/out.txt")),
                                      file_as_folder + QStringLiteral("/out.txt"), dir.path()}) {
            const auto error = writer.write(path_of(target), "text");
            QVERIFY2(error.has_value(), qPrintable(target));
            QVERIFY2(!error->empty(), qPrintable(target));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 before);
        QCOMPARE(read_all(file_as_folder), QByteArray("keep"));
    }

    void code_window_saves_through_the_real_writer_or_leaves_the_file_alone() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("code.txt"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old\r\n");
        }
        fakes::Platform fake;
        padscreen_qt::QtTextFileWriter writer;
        platform::Services services{fake.files, fake.messages, fake.pictures, writer, fake.app};
        Program program(services);
        program.start();
        program.form1()->cmdCreateCode.click();
        codegen::FrmShowCode& code = *program.code_window();

        // A character Windows-1252 has no byte for: nothing is written.
        code.txtCode.text = "price \xE2\x82\xAC 5\r\nsmile \xF0\x9F\x98\x80\r\n";
        fake.files.choose(path_of(path));
        code.cmdWriteTextFile.click();
        QCOMPARE(fake.messages.shown.size(), std::size_t{1});
        QCOMPARE(fake.messages.shown[0].second, std::string("ERROR"));
        QVERIFY(fake.messages.shown[0].first.find("Line 2") != std::string::npos);
        QCOMPARE(read_all(path), QByteArray("old\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"code.txt"});

        // Without it the file is replaced, the euro sign as its single byte.
        code.txtCode.text = "price \xE2\x82\xAC 5\r\n";
        fake.files.choose(path_of(path));
        code.cmdWriteTextFile.click();
        QCOMPARE(fake.messages.shown.back().second, std::string("Save Status"));
        QCOMPARE(read_all(path), QByteArray("price \x80 5\r\n"));
    }

    void filters_keep_descriptions_and_filter_by_pattern() {
        const QStringList filters = padscreen_qt::name_filters(kPictureFilter);
        QCOMPARE(filters.size(), 7);
        QCOMPARE(filters[1], QStringLiteral("Bitmaps (*.bmp;*.dib) (*.bmp *.dib *.BMP *.DIB)"));
        // "*.*" takes names without a dot too.
        QCOMPARE(filters[6], QStringLiteral("All Files (*.*) (*)"));
        QCOMPARE(padscreen_qt::name_filters("Text Files (*.txt)|*.txt"),
                 QStringList{QStringLiteral("Text Files (*.txt) (*.txt *.TXT)")});
        QVERIFY(padscreen_qt::name_filters("").isEmpty());
    }

    // The dialog itself: what it shows and which filter it starts with.
    void dialog_shows_descriptions_as_written() {
        const QStringList expected = {"All Picture Files",       "Bitmaps (*.bmp;*.dib)",
                                      "GIF Images (*.gif)",      "JPEG Images (*.jpg)",
                                      "Metafiles (*.wmf;*.emf)", "Icons (*.ico;*.cur)",
                                      "All Files (*.*)"};
        for (const int index : {1, 3, 7}) {
            QStringList shown;
            QString selected;
            QTimer::singleShot(0, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr) {
                    return;
                }
                auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                if (types != nullptr) {
                    for (int k = 0; k < types->count(); ++k) {
                        shown << types->itemText(k);
                    }
                    selected = types->currentText();
                }
                dialog->reject();
            });
            padscreen_qt::QtFileDialog files;
            const auto choice = files.show_open({kPictureFilter, index, ""});
            QVERIFY(!choice);
            QCOMPARE(shown, expected);
            QCOMPARE(selected, expected[index - 1]);
        }
    }

    void save_dialog_returns_the_typed_path_and_title() {
        QTemporaryDir dir;
        const QString typed = dir.filePath(QStringLiteral("noext"));
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            dialog->selectFile(typed);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        padscreen_qt::QtFileDialog files;
        const auto choice = files.show_save({"Text Files (*.txt)|*.txt", 1, ""});
        QVERIFY(choice.has_value());
        QCOMPARE(QString::fromStdString(choice->path), typed); // no ".txt" added
        QCOMPARE(choice->title, std::string("noext"));
    }

    void quit_ends_a_loop_that_starts_later() {
        padscreen_qt::QtApplication app;
        app.quit(); // before the loop runs
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(ServicesTest)
#include "qt_services_tests.moc"
