// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "assist/keyboard.h"
#include "window_view.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

class Form1;
struct FormState;
class Program;
namespace document {
class Document;
} // namespace document
namespace assist {
struct ReadOutLine;
} // namespace assist

namespace padscreen_qt {

class PropertiesPanel;

// Draws on Form1's view what assist/ computes (the LCD's frame and centre
// mark above the grid, hatching where a line reaches past the LCD, the
// read-outs on the panel) and maps the keys: arrows nudge the picture or
// hotspot selected last, F6 and Shift+F6 walk the selection, Delete deletes
// as the button does, Escape cancels a press in progress, F4 shows the
// properties, Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo; in an edit field
// arrows, Delete and Ctrl+Z stay the field's.
class AssistOverlay : public QObject, public ViewOverlay {
public:
    AssistOverlay(Program& program, Dispatcher& dispatcher);
    ~AssistOverlay() override;
    AssistOverlay(const AssistOverlay&) = delete;
    AssistOverlay& operator=(const AssistOverlay&) = delete;

    // After every user action, once the program is at rest: follows the main
    // window's view and asks it to repaint what changed.
    void after_action(WindowView* form_view);

    bool paints_after(const tk::Control& control) const override;
    void paint_after(QPainter& painter, const tk::Control& control) override;
    void paint_above(QPainter& painter, const QRegion& area) override;

    // Ctrl+S, Ctrl+Shift+S, Ctrl+O and Ctrl+R go to the document, and its notices
    // and recovery offer reach the panel; none until it is set.
    void set_document(document::Document* document);

    // The read-out rows as last painted (a long line wraps over several), the
    // keys' lines last.
    const QStringList& painted_lines() const { return painted_; }
    PropertiesPanel* properties() const;
    // Where the read-outs are drawn on the view.
    QRect readout_rect() const;
    // Every read-out line, whole, one a line: what the tooltip and a screen reader get.
    QString full_text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handle_key(const QKeyEvent& key);
    // The focus is in a field that takes typing, where arrows move the cursor
    // and Ctrl+Z undoes the typing.
    static bool in_edit_field();
    void run(const std::function<void(Form1&)>& action, std::uint64_t gesture = 0);
    QRect keys_rect() const;
    // The rows the lines take in the room there is; where the k-th row lies.
    QStringList readout_rows(const std::vector<assist::ReadOutLine>& lines, const QFont& font);
    QRect readout_row(const QFontMetrics& metrics, std::size_t k) const;
    // Where the pictures a warning concerns are marked.
    std::vector<QRect> warning_marks() const;
    // The read-out's lines for the model as it is now; repaints them when they changed.
    void follow_read_out();

    Program& program_;
    Dispatcher& dispatcher_;
    document::Document* document_ = nullptr;
    bool recovery_asked_ = false; // the document looks for a recovery copy after the first paint
    Form1* form_ = nullptr;
    QPointer<WindowView> view_;
    // The same view seen as a plain widget: the event filter may run while the view
    // is being destroyed, when it is no longer a WindowView.
    QPointer<QWidget> view_widget_;
    bool pointer_inside_ = false;
    std::string recovery_failure_;
    std::uint64_t failure_at_ = 0;    // the history's steps when it was said
    std::uint64_t arrow_presses_ = 0; // a held arrow's repeats go on with its press's gesture
    QTimer pointer_left_; // the read-out loses the pointer's line once the event is over
    QRegion hatched_;     // where lines reach past the LCD, as last asked to paint
    std::vector<float> hatch_places_; // what hatched_ was worked out from; empty: nothing yet
    std::vector<assist::ReadOutLine> read_out_; // as last laid out
    QStringList rows_;                          // read_out_ in rows, as last asked to paint
    bool clipped_ = false; // a line gave way or lost its end: the tooltip has them all
    // Each line's rows as last broken, for this width and font.
    std::vector<std::pair<std::string, QStringList>> wrap_cache_;
    int wrap_width_ = 0;
    QFont wrap_font_;
    std::vector<QRect> marks_; // as last asked to paint
    struct Outline {
        QRect rect;
        QColor colour;
        friend bool operator==(const Outline&, const Outline&) = default;
    };
    std::vector<Outline> outlines_; // the hotspots', as last asked to paint
    QStringList painted_;
    QStringList keys_; // the keys' lines, the arrows' first
    QPointer<PropertiesPanel> panel_;
    assist::LastSelected last_;
    std::unique_ptr<FormState> before_press_; // the window as the press in progress found it
};

} // namespace padscreen_qt
