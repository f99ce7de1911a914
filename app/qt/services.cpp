// SPDX-License-Identifier: GPL-2.0-or-later
#include "services.h"

#include "ui_font.h"

#include "decode/client.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QSaveFile>
#include <QSpacerItem>
#include <QStyle>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

// folder: where the dialog starts without a file to offer, and where the choice lay.
std::optional<platform::FileChoice> run_dialog(const platform::FileDialogOptions& options,
                                               bool save, QString& folder) {
    QFileDialog dialog(dialog_parent());
    if (!options.title.empty()) {
        dialog.setWindowTitle(QString::fromStdString(options.title));
    }
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // Unless asked otherwise, the path is used exactly as typed, and an existing file
        // is replaced without asking.
        dialog.setDefaultSuffix(QString::fromStdString(options.default_suffix));
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirm_overwrite);
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
    } else if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) {
        return std::nullopt;
    }
    const QString& path = chosen.first();
    folder = QFileInfo(path).absolutePath();
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

int title_room(const QWidget& box) {
    const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    // The title, the icon and three buttons, each about a title bar high.
    return metrics.horizontalAdvance(box.windowTitle()) +
           4 * box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
}

namespace {
QPointer<QWidget> acting_window; // NOLINT: the one window whose user action runs
} // namespace

ActingWindow::ActingWindow(QWidget* window) : previous_(acting_window) { acting_window = window; }

ActingWindow::~ActingWindow() { acting_window = previous_; }

QWidget* dialog_parent() {
    // The window the user acted on asked for the dialog. Which window is active
    // after an earlier modal dialog closed is up to the window system.
    if (acting_window != nullptr && acting_window->isVisible()) {
        return acting_window->window();
    }
    return QApplication::activeWindow();
}

std::optional<platform::FileChoice> QtFileDialog::show_open(const platform::FileDialogOptions& o) {
    return run_dialog(o, false, folder_);
}

std::optional<platform::FileChoice> QtFileDialog::show_save(const platform::FileDialogOptions& o) {
    return run_dialog(o, true, folder_);
}

void QtMessageBox::show(const std::string& text, const std::string& title) {
    // Over the window that asked (the dialog centres itself on its parent).
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, dialog_parent());
    box.setTextFormat(Qt::PlainText);
    box.setFont(ui_font());
    // The box is only as wide as its text, but the window manager draws the
    // title beside its own buttons: a short text would cut the title.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(title_room(box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
}

namespace {

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool can_write(const std::string& path) {
    // The effective (file system) identity, as the write itself would meet it.
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Why a save failed, found by looking at the place: QSaveFile hands back only a
// sentence, and the errno of its failing call is gone by then. Call it before
// cancelWriting(), while a half-written temporary file still takes its room.
std::string diagnose(const std::string& path, const QSaveFile& file) {
    const std::string folder = folder_of(path);
    const std::string fallback = file.errorString().toStdString();
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        return save_failure_text(path, errno, false, fallback);
    }
    if (!S_ISDIR(st.st_mode)) {
        return save_failure_text(path, ENOTDIR, false, fallback);
    }
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return save_failure_text(path, EISDIR, false, fallback);
        }
        if (!can_write(path) && errno != EROFS) {
            return save_failure_text(path, errno, true, fallback);
        }
    }
    if (!can_write(folder)) {
        return save_failure_text(path, errno, false, fallback);
    }
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) == 0) {
        if ((fs.f_flag & ST_RDONLY) != 0) {
            return save_failure_text(path, EROFS, false, fallback);
        }
        if (fs.f_bavail == 0 || fs.f_favail == 0) {
            return save_failure_text(path, ENOSPC, false, fallback);
        }
    }
    return save_failure_text(path, 0, false, fallback);
}

} // namespace

std::string save_failure_text(const std::string& path, int error_number, bool about_file,
                              const std::string& fallback) {
    const std::string folder = folder_of(path);
    std::string reason;
    switch (error_number) {
    case ENOENT:
        reason = "the folder " + folder + " does not exist.";
        break;
    case ENOTDIR:
        reason = folder + " is not a folder.";
        break;
    case EISDIR:
        reason = "it is a folder, not a file.";
        break;
    case EACCES:
    case EPERM:
        reason = about_file ? "the file is write-protected."
                            : "no permission to write in the folder " + folder + ".";
        break;
    case ENOSPC:
        reason = "the disk is full.";
        break;
    case EDQUOT:
        reason = "the disk quota is used up.";
        break;
    case EROFS:
        reason = "the folder " + folder + " is on a read-only file system.";
        break;
    case ENAMETOOLONG:
        reason = "the name is too long.";
        break;
    case 0:
        reason = fallback.empty() ? "the file could not be written." : fallback + ".";
        break;
    default:
        reason = std::string(std::strerror(error_number)) + ".";
        break;
    }
    return "Could not save " + path + ": " + reason;
}

namespace {

const char* kind_of(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "something else";
}

} // namespace

std::optional<std::string> QtTextFileWriter::write(const std::string& path,
                                                   const std::string& bytes) {
    // The save renames a new file over the target: a FIFO or a device would become a
    // plain file. A symbolic link is followed, to the file it names.
    struct stat old {};
    const bool replaces = ::stat(path.c_str(), &old) == 0;
    if (replaces && !S_ISREG(old.st_mode)) {
        return "Could not save " + path + ": it is not a regular file but " + kind_of(old.st_mode) +
               ".";
    }
    QSaveFile file(from_path(path));
    // Never fall back to writing the target in place: a failure must leave it whole.
    file.setDirectWriteFallback(false);
    // Unbuffered: every write reaches the file at once and reports its own
    // failure; commit() would not report a failing flush of a buffer and would
    // rename an empty file over the target.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return diagnose(path, file);
    }
    // The new file takes the old one's mode exactly (Qt's copy gives root write access to
    // a read-only file) and, where the program may, its owner; the owner first, since a
    // change of owner clears the set-id bits.
    if (replaces) {
        if (::geteuid() == 0) {
            [[maybe_unused]] const int owned = ::fchown(file.handle(), old.st_uid, old.st_gid);
        }
        ::fchmod(file.handle(), old.st_mode & 07777);
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        std::string error = diagnose(path, file);
        file.cancelWriting();
        return error;
    }
    // Some file systems report a full disk only when the data reaches it.
    if (::fsync(file.handle()) != 0) {
        std::string error = save_failure_text(path, errno);
        file.cancelWriting();
        return error;
    }
    if (!file.commit()) {
        return diagnose(path, file);
    }
    // The rename lives in the folder: flushed too, so a crash cannot bring the old file back.
    const QString folder = QFileInfo(from_path(path)).absolutePath();
    const int dir =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
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

namespace {

// The wait cursor while a load runs, also when it ends in an exception.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() {
        QGuiApplication::restoreOverrideCursor();
        // A close asked for meanwhile counts as user input and was held back while the
        // load kept painting; its event is already read from the display, so nothing
        // else would wake the loop to deliver it.
        QAbstractEventDispatcher::instance()->wakeUp();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// A long open's progress: after half a second a small window of its own says how many of
// the design's pictures are in. Escape, its Stop button or a request to close any window
// stops the open; meanwhile other input is dropped, as a modal window would, so no handler
// runs in the middle. Not modal: a modal window would make the others ignore their close
// requests.
class OpenProgress : public QObject {
public:
    explicit OpenProgress(std::size_t total) : total_(total) {
        started_.start();
        qApp->installEventFilter(this);
    }
    ~OpenProgress() override { qApp->removeEventFilter(this); }
    OpenProgress(const OpenProgress&) = delete;
    OpenProgress& operator=(const OpenProgress&) = delete;

    // False once the open is to stop.
    bool step(std::size_t done) {
        if (!window_ && !stopped_ && started_.elapsed() >= 500) {
            window_ = std::make_unique<QProgressDialog>(QString(), "Stop", 0,
                                                        static_cast<int>(total_), dialog_parent());
            window_->setWindowTitle("Opening");
            window_->setWindowModality(Qt::NonModal);
            window_->setMinimumDuration(0);
            window_->setAutoReset(false);
            QObject::connect(window_.get(), &QProgressDialog::canceled,
                             [this] { stopped_ = true; });
            window_->show();
        }
        if (window_ && !stopped_) {
            window_->setLabelText(
                QString("Opening the design: %1 of %2 pictures read").arg(done).arg(total_));
            window_->setValue(static_cast<int>(done));
            QCoreApplication::processEvents();
        }
        return !stopped_;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Close:
            if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
                stopped_ = true; // and the window's own close goes on once the open is over
            return false;
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                stopped_ = true;
                return true;
            }
            [[fallthrough]];
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ShortcutOverride:
            return !inside_window(watched);
        default:
            return false;
        }
    }

private:
    bool inside_window(QObject* watched) const {
        return window_ && watched->isWidgetType() &&
               (watched == window_.get() || window_->isAncestorOf(static_cast<QWidget*>(watched)));
    }

    std::size_t total_;
    QElapsedTimer started_;
    std::unique_ptr<QProgressDialog> window_;
    bool stopped_ = false;
};

} // namespace

tk::PicturePtr BusyCursorPictureLoader::load(const std::string& path, tk::PictureBudget& budget) {
    const BusyCursor busy;
    return inner_->load(path, budget);
}

std::vector<tk::PicturePtr>
BusyCursorPictureLoader::load_all(const std::vector<std::string>& paths, tk::PictureBudget& budget,
                                  const platform::LoadProgress& progress) {
    const BusyCursor busy;
    OpenProgress shown(paths.size());
    return inner_->load_all(paths, budget, {[&](std::size_t done, std::size_t total) {
                                return shown.step(done) && progress.go_on(done, total);
                            }});
}

void keep_painting() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

namespace {
std::unique_ptr<platform::PictureLoader> helper_loader(const std::string& helper_path) {
    auto loader = std::make_unique<picture_decode::HelperPictureLoader>(helper_path);
    loader->set_idle(keep_painting);
    return loader;
}
} // namespace

QtServices::QtServices(const std::string& helper_path)
    : pictures(std::make_unique<BusyCursorPictureLoader>(helper_loader(helper_path))),
      services{files, messages, *pictures, writer, app} {}

} // namespace padscreen_qt
