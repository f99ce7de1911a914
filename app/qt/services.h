// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "platform.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace padscreen_qt {

// A filter string "Description|pattern;pattern|..." as Qt name filters. Each
// entry becomes "Description (pattern pattern ...)", so that with
// QFileDialog::HideNameFilterDetails the description shows exactly as written
// while the patterns (plus their upper-case forms) filter.
QStringList name_filters(const std::string& filter);

// Each dialog starts in the folder of the last file chosen in this run (nothing of
// it is kept for the next run).
class QtFileDialog : public platform::FileDialog {
public:
    std::optional<platform::FileChoice>
    show_open(const platform::FileDialogOptions& options) override;
    std::optional<platform::FileChoice>
    show_save(const platform::FileDialogOptions& options) override;

private:
    QString folder_;
};

class QtMessageBox : public platform::MessageBox {
public:
    void show(const std::string& text, const std::string& title) override;
};

// The message for a save to path that failed with error_number (an errno
// value). about_file: the error concerns the existing file itself rather than
// its folder. Without a known error number the fallback text is the reason.
std::string save_failure_text(const std::string& path, int error_number, bool about_file = false,
                              const std::string& fallback = {});

// All or nothing through QSaveFile: a failure leaves the target as it was and
// is described by save_failure_text.
class QtTextFileWriter : public platform::TextFileWriter {
public:
    std::optional<std::string> write(const std::string& path, const std::string& bytes) override;
};

// Shows the busy cursor while another loader decodes: a picture can take a
// while, and the window does not answer meanwhile.
class BusyCursorPictureLoader : public platform::PictureLoader {
public:
    explicit BusyCursorPictureLoader(std::unique_ptr<platform::PictureLoader> inner)
        : inner_(std::move(inner)) {}
    void prepare() override { inner_->prepare(); }
    tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) override;
    // Forwarded whole: the inner loader reads a design's pictures side by side.
    std::vector<tk::PicturePtr> load_all(const std::vector<std::string>& paths,
                                         tk::PictureBudget& budget,
                                         const platform::LoadProgress& progress) override;
    std::string last_failure() const override { return inner_->last_failure(); }

private:
    std::unique_ptr<platform::PictureLoader> inner_;
};

// What a picture load runs while it waits for the decoder: the windows
// repaint and take window-system events, but no key or pointer input gets
// through, so no handler runs in between.
void keep_painting();

class QtApplication : public platform::Application {
public:
    void quit() override;
};

// The window a modal dialog should stand over, if any.
QWidget* dialog_parent();

// While it lives, dialogs stand over this window: the one a user action ran in.
class ActingWindow {
public:
    explicit ActingWindow(QWidget* window);
    ~ActingWindow();
    ActingWindow(const ActingWindow&) = delete;
    ActingWindow& operator=(const ActingWindow&) = delete;

private:
    QPointer<QWidget> previous_;
};

// The width a message box needs for its title and the title bar's buttons.
int title_room(const QWidget& box);

} // namespace padscreen_qt

namespace padscreen_qt {

// The real services, with pictures decoded by the helper at helper_path.
struct QtServices {
    explicit QtServices(const std::string& helper_path);
    QtFileDialog files;
    QtMessageBox messages;
    std::unique_ptr<platform::PictureLoader> pictures;
    QtTextFileWriter writer;
    QtApplication app;
    platform::Services services;
};

} // namespace padscreen_qt
