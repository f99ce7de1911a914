// SPDX-License-Identifier: GPL-2.0-or-later
// The real platform services: the text-file writer on real files, the filter
// conversion of the file dialogs, and ending the event loop.
#include "codegen/code_window.h"
#include "document/document.h"
#include "fakes.h"
#include "program.h"
#include "program_view.h"
#include "services.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sched.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QByteArray read_all(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

std::string path_of(const QString& path) { return QFile::encodeName(path).toStdString(); }

void write_file(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Makes a save target of the kind named at p.
bool make_target(const QString& kind, const std::string& p) {
    if (kind == "fifo") {
        return ::mkfifo(p.c_str(), 0644) == 0;
    }
    if (kind == "char device") { // the numbers of /dev/null
        return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    }
    if (kind == "folder") {
        return ::mkdir(p.c_str(), 0755) == 0;
    }
    if (kind == "socket") {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, p.c_str(), sizeof(address.sun_path) - 1);
        const bool bound =
            ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(s);
        return bound;
    }
    const std::string file = kind == "symlink" ? p + ".real" : p;
    write_file(QString::fromStdString(file), "old");
    if (kind == "symlink") {
        return ::chmod(file.c_str(), 0640) == 0 && ::symlink(file.c_str(), p.c_str()) == 0;
    }
    // Read-only to everyone; as root, owned by nobody.
    return (::geteuid() != 0 || ::chown(p.c_str(), 65534, 65534) == 0) &&
           ::chmod(p.c_str(), 0444) == 0;
}

// Test file systems are mounted in a mount namespace of this thread's own, so
// that nothing of them is seen outside. Empty when that is possible, else why not.
QString own_mount_namespace() {
    static const QString why = [] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return QStringLiteral("cannot mount a test file system here (%1); run as root")
                .arg(QString::fromLocal8Bit(std::strerror(errno)));
        }
        return QString();
    }();
    return why;
}

// A 64 KiB tmpfs holding the file "code.txt" with old_text; then either
// filled to the last byte or made read-only.
class SmallDisk {
public:
    enum State { kFull, kReadOnly };
    SmallDisk(const QByteArray& old_text, State state) {
        if (!(error_ = own_mount_namespace()).isEmpty()) {
            return;
        }
        const QByteArray at = QFile::encodeName(dir_.path());
        if (::mount("tmpfs", at.constData(), "tmpfs", 0, "size=64k") != 0) {
            error_ = QStringLiteral("cannot mount tmpfs: %1").arg(std::strerror(errno));
            return;
        }
        mounted_ = true;
        write_file(target(), old_text);
        if (state == kReadOnly) {
            if (::mount(nullptr, at.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
                error_ = QStringLiteral("cannot remount read-only: %1").arg(std::strerror(errno));
            }
            return;
        }
        QFile filler(dir_.filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            error_ = QStringLiteral("cannot fill the disk");
            return;
        }
        const QByteArray block(512, 'f');
        while (filler.write(block) == block.size()) {
        }
        while (filler.write("f", 1) == 1) {
        }
    }
    ~SmallDisk() {
        if (mounted_) {
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    const QString& error() const { return error_; } // empty when ready
    QString target() const { return dir_.filePath(QStringLiteral("code.txt")); }
    QStringList entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString error_;
};

const char* const kPictureFilter =
    "All Picture Files|*.bmp;*.dib;*.gif;*.jpg;*.jpeg;*.png;*.wmf;*.emf;*.ico;*.cur|Bitmaps "
    "(*.bmp;*.dib)|*.bmp;*.dib|GIF Images (*.gif)|*.gif|JPEG Images (*.jpg;*.jpeg)|*.jpg;*.jpeg|"
    "PNG Images (*.png)|*.png|Metafiles (*.wmf;*.emf)|*.wmf;*.emf|Icons (*.ico;*.cur)|*.ico;*.cur|"
    "All Files (*.*)|*.*";

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

    // A target that is not a regular file is refused and stays what it was; a file that is
    // replaced keeps its mode and (as root) its owner; a link is followed to its file.
    void writer_saves_only_onto_regular_files_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal"); // empty: saved
        QTest::addColumn<uint>("mode");       // of the saved file, link followed
        QTest::newRow("fifo") << "fifo"
                              << "a FIFO" << 0U;
        QTest::newRow("char device") << "char device"
                                     << "a character device" << 0U;
        QTest::newRow("socket") << "socket"
                                << "a socket" << 0U;
        QTest::newRow("folder") << "folder"
                                << "a folder" << 0U;
        QTest::newRow("0444 file") << "0444 file"
                                   << "" << 0444U;
        QTest::newRow("symlink") << "symlink"
                                 << "" << 0640U;
    }
    void writer_saves_only_onto_regular_files() {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        QFETCH(uint, mode);
        QTemporaryDir dir;
        const std::string p = path_of(dir.filePath(QStringLiteral("target")));
        QVERIFY(make_target(kind, p));
        struct stat before {};
        QVERIFY(::lstat(p.c_str(), &before) == 0);
        padscreen_qt::QtTextFileWriter writer;
        const auto error = writer.write(p, "new\r\n");
        struct stat after {};
        QVERIFY(::stat(p.c_str(), &after) == 0);
        struct stat link_after {};
        QVERIFY(::lstat(p.c_str(), &link_after) == 0);
        if (refusal.isEmpty()) {
            QVERIFY2(!error, error ? error->c_str() : "");
            QCOMPARE(read_all(QString::fromStdString(p)), QByteArray("new\r\n"));
            QCOMPARE(after.st_mode & S_IFMT, mode_t{S_IFREG});
            QCOMPARE(after.st_mode & 07777, mode);
            QCOMPARE(link_after.st_mode & S_IFMT, before.st_mode & S_IFMT); // a link stays one
            if (::geteuid() == 0 && kind == "0444 file") {
                QCOMPARE(after.st_uid, uid_t{65534});
                QCOMPARE(after.st_gid, gid_t{65534});
            }
        } else {
            QCOMPARE(QString::fromStdString(error.value_or("saved")),
                     QStringLiteral("Could not save %1: it is not a regular file but %2.")
                         .arg(QString::fromStdString(p), refusal));
            QCOMPARE(link_after.st_ino, before.st_ino);
            QCOMPARE(link_after.st_mode, before.st_mode);
        }
        // No temporary file is left behind.
        const int targets = kind == "symlink" ? 2 : kind == "folder" ? 0 : 1;
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 targets);
    }

    // Every reason, including those a test cannot make for real as root.
    void save_failure_names_path_and_reason() {
        const struct {
            int error;
            bool about_file;
            const char* fallback;
            const char* text;
        } cases[] = {
            {ENOENT, false, "", "Could not save /a/b/code.txt: the folder /a/b does not exist."},
            {ENOTDIR, false, "", "Could not save /a/b/code.txt: /a/b is not a folder."},
            {EISDIR, false, "", "Could not save /a/b/code.txt: it is a folder, not a file."},
            {EACCES, false, "",
             "Could not save /a/b/code.txt: no permission to write in the folder /a/b."},
            {EPERM, true, "", "Could not save /a/b/code.txt: the file is write-protected."},
            {ENOSPC, false, "", "Could not save /a/b/code.txt: the disk is full."},
            {EDQUOT, false, "", "Could not save /a/b/code.txt: the disk quota is used up."},
            {EROFS, false, "",
             "Could not save /a/b/code.txt: the folder /a/b is on a read-only file system."},
            {ENAMETOOLONG, false, "", "Could not save /a/b/code.txt: the name is too long."},
            {EIO, false, "", "Could not save /a/b/code.txt: Input/output error."},
            {0, false, "Device busy", "Could not save /a/b/code.txt: Device busy."},
            {0, false, "", "Could not save /a/b/code.txt: the file could not be written."},
        };
        for (const auto& c : cases) {
            QCOMPARE(
                padscreen_qt::save_failure_text("/a/b/code.txt", c.error, c.about_file, c.fallback),
                std::string(c.text));
        }
        QCOMPARE(padscreen_qt::save_failure_text("/code.txt", ENOENT),
                 std::string("Could not save /code.txt: the folder / does not exist."));
    }

    // Each failure the writer can meet, made for real: the message names the
    // path and the reason, and nothing in the folder changes.
    void writer_says_what_failed_data() {
        QTest::addColumn<QString>("where");  // the target, under the scratch folder
        QTest::addColumn<QString>("reason"); // %1: the scratch folder
        QTest::newRow("missing folder") << "missing/out.txt"
                                        << "the folder %1/missing does not exist.";
        QTest::newRow("not a folder") << "plain/out.txt"
                                      << "%1/plain is not a folder.";
        QTest::newRow("a folder") << "sub"
                                  << "it is not a regular file but a folder.";
        QTest::newRow("no permission") << "locked/out.txt"
                                       << "no permission to write in the folder %1/locked.";
    }
    void writer_says_what_failed() {
        QFETCH(QString, where);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        write_file(dir.filePath(QStringLiteral("plain")), "keep");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
        QVERIFY(::chmod(QFile::encodeName(dir.filePath("locked")).constData(), 0555) == 0);
        const auto listing = [&] {
            return QDir(dir.path())
                       .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) +
                   QDir(dir.filePath("locked"))
                       .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        const QStringList before = listing();
        const QString target = dir.filePath(where);

        // Root writes anywhere: as another user for the file system alone.
        const bool as_other = ::geteuid() == 0;
        if (as_other) {
            ::setfsuid(65534);
        }
        padscreen_qt::QtTextFileWriter writer;
        const auto error = writer.write(path_of(target), "text");
        if (as_other) {
            ::setfsuid(0);
        }
        QVERIFY2(error.has_value(), qPrintable(target));
        QCOMPARE(QString::fromStdString(*error),
                 QStringLiteral("Could not save %1: %2").arg(target, reason.arg(dir.path())));
        QCOMPARE(listing(), before);
        QCOMPARE(read_all(dir.filePath(QStringLiteral("plain"))), QByteArray("keep"));
    }

    // A disk with no room left, or one mounted read-only: the save fails and says
    // why, and the file it would have replaced stays byte for byte.
    void writer_on_a_full_or_read_only_disk_keeps_the_old_file_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<QString>("reason");
        const qsizetype sizes[] = {10, qsizetype{16} * 1024, qsizetype{1024} * 1024};
        for (const qsizetype size : sizes) {
            QTest::addRow("full, %lld bytes", static_cast<long long>(size))
                << int(SmallDisk::kFull) << size << QStringLiteral("the disk is full.");
        }
        QTest::newRow("read-only") << int(SmallDisk::kReadOnly) << qsizetype(10)
                                   << "the folder %1 is on a read-only file system.";
    }
    void writer_on_a_full_or_read_only_disk_keeps_the_old_file() {
        QFETCH(int, state);
        QFETCH(qsizetype, size);
        QFETCH(QString, reason);
        const QByteArray old_text(
            "Penvane1.LCDWriteBitmap 0, 2, 0, 0, 233, 124, old.Picture.Handle\r\n");
        const SmallDisk disk(old_text, static_cast<SmallDisk::State>(state));
        if (!disk.error().isEmpty()) {
            QSKIP(qPrintable(disk.error()));
        }
        const QStringList before = disk.entries();
        const QString target = disk.target();
        padscreen_qt::QtTextFileWriter writer;
        const auto error =
            writer.write(path_of(target), std::string(static_cast<std::size_t>(size), 'x'));
        QVERIFY2(error.has_value(), "the save reported success");
        QCOMPARE(QString::fromStdString(*error),
                 QStringLiteral("Could not save %1: %2")
                     .arg(target, reason.arg(QFileInfo(target).path())));
        QCOMPARE(read_all(target), old_text);
        QCOMPARE(disk.entries(), before);
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
        document::Document document({services, "test"});
        Program& program = document.program();
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

    // The boxes of a save: over the code window, their titles not cut even
    // when the text is short.
    void save_boxes_stand_over_the_code_window() {
        fakes::Platform fake;
        padscreen_qt::QtMessageBox messages;
        platform::Services services{fake.files, messages, fake.pictures, fake.writer, fake.app};
        document::Document document({services, "test"});
        Program& program = document.program();
        padscreen_qt::ProgramView view(program, QIcon());
        view.start();
        view.dispatch([&] { program.form1()->cmdCreateCode.click(); });
        QWidget* code = view.view(program.code_window()->id());
        QVERIFY(code != nullptr && QTest::qWaitForWindowActive(code));

        const struct {
            const char* failure; // nullptr: the save succeeds
            const char* title;
        } cases[] = {{nullptr, "Save Status"}, {"Could not save /t: the disk is full.", "ERROR"}};
        for (const auto& c : cases) {
            fake.files.choose("/t");
            fake.writer.failure = c.failure ? std::optional<std::string>(c.failure) : std::nullopt;
            QRect frame;
            QString title;
            int room = 0;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box == nullptr) {
                    return;
                }
                frame = box->frameGeometry();
                title = box->windowTitle();
                room = padscreen_qt::title_room(*box);
                box->accept();
            });
            auto* code_view = view.view(program.code_window()->id());
            QTest::mouseClick(code_view->widget_for(program.code_window()->cmdWriteTextFile),
                              Qt::LeftButton);
            QCOMPARE(title, QString::fromLatin1(c.title));
            const QPoint off = frame.center() - code->frameGeometry().center();
            QVERIFY2(off.manhattanLength() <= 2,
                     qPrintable(QStringLiteral("off by %1, %2").arg(off.x()).arg(off.y())));
            QVERIFY(room > 2 * QFontMetrics(QApplication::font()).horizontalAdvance(title));
            QVERIFY2(frame.width() >= room, qPrintable(QString::number(frame.width())));
        }
    }

    void filters_keep_descriptions_and_filter_by_pattern() {
        const QStringList filters = padscreen_qt::name_filters(kPictureFilter);
        QCOMPARE(filters.size(), 8);
        QCOMPARE(filters[1], QStringLiteral("Bitmaps (*.bmp;*.dib) (*.bmp *.dib *.BMP *.DIB)"));
        // "*.*" takes names without a dot too.
        QCOMPARE(filters[4], QStringLiteral("PNG Images (*.png) (*.png *.PNG)"));
        QCOMPARE(filters[7], QStringLiteral("All Files (*.*) (*)"));
        QCOMPARE(padscreen_qt::name_filters("Text Files (*.txt)|*.txt"),
                 QStringList{QStringLiteral("Text Files (*.txt) (*.txt *.TXT)")});
        QVERIFY(padscreen_qt::name_filters("").isEmpty());
    }

    // The dialog itself: what it shows and which filter it starts with.
    void dialog_shows_descriptions_as_written() {
        const QStringList expected = {"All Picture Files",   "Bitmaps (*.bmp;*.dib)",
                                      "GIF Images (*.gif)",  "JPEG Images (*.jpg;*.jpeg)",
                                      "PNG Images (*.png)",  "Metafiles (*.wmf;*.emf)",
                                      "Icons (*.ico;*.cur)", "All Files (*.*)"};
        for (const int index : {1, 3, 8}) {
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
            const auto choice = files.show_open({kPictureFilter, index, "", "", "", false});
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
        const auto choice = files.show_save({"Text Files (*.txt)|*.txt", 1, "", "", "", false});
        QVERIFY(choice.has_value());
        QCOMPARE(QString::fromStdString(choice->path), typed); // no ".txt" added
        QCOMPARE(choice->title, std::string("noext"));
    }

    // The wait-cursor wrapper hands a design's pictures on as one request, so the
    // loader inside can read them side by side.
    void busy_cursor_loader_forwards_every_request() {
        struct Inner : fakes::PictureLoader {
            std::size_t batch = 0;
            std::vector<tk::PicturePtr> load_all(const std::vector<std::string>& paths,
                                                 tk::PictureBudget&,
                                                 const platform::LoadProgress&) override {
                batch = paths.size();
                return std::vector<tk::PicturePtr>(paths.size());
            }
        };
        auto inner = std::make_unique<Inner>();
        Inner& seen = *inner;
        padscreen_qt::BusyCursorPictureLoader busy(std::move(inner));
        tk::PictureBudget budget;
        QCOMPARE(busy.load_all({"a", "b", "c"}, budget, {}).size(), std::size_t{3});
        QCOMPARE(seen.batch, std::size_t{3});
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    // A long open says how far it is, and Escape or a close request to any window stops it.
    void long_open_shows_progress_and_stops_on_request() {
        struct Inner : fakes::PictureLoader {
            QString said;
            std::vector<tk::PicturePtr> load_all(const std::vector<std::string>& paths,
                                                 tk::PictureBudget&,
                                                 const platform::LoadProgress& progress) override {
                QElapsedTimer waited;
                waited.start();
                while (waited.elapsed() < 5000) {
                    if (!progress.go_on(1, paths.size()))
                        return {};
                    for (QWidget* w : QApplication::topLevelWidgets())
                        if (auto* shown = qobject_cast<QProgressDialog*>(w);
                            shown && shown->isVisible())
                            said = shown->labelText();
                    QThread::msleep(10);
                }
                return std::vector<tk::PicturePtr>(paths.size());
            }
        };
        QWidget window;
        window.show();
        for (const QEvent::Type request : {QEvent::KeyPress, QEvent::Close}) {
            auto inner = std::make_unique<Inner>();
            Inner& seen = *inner;
            padscreen_qt::BusyCursorPictureLoader busy(std::move(inner));
            QTimer::singleShot(800, &window, [&] {
                if (request == QEvent::Close)
                    QCoreApplication::postEvent(&window, new QCloseEvent);
                else
                    QCoreApplication::postEvent(
                        &window, new QKeyEvent(request, Qt::Key_Escape, Qt::NoModifier));
            });
            QElapsedTimer took;
            took.start();
            tk::PictureBudget budget;
            QVERIFY(busy.load_all({"a", "b", "c"}, budget, {}).empty());
            QVERIFY2(took.elapsed() < 4000, "the request did not stop the open");
            QCOMPARE(seen.said, QString("Opening the design: 1 of 3 pictures read"));
        }
    }

    void quit_ends_a_loop_that_starts_later() {
        padscreen_qt::QtApplication app;
        app.quit(); // before the loop runs
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(ServicesTest)
#include "qt_services_tests.moc"
