// The Qt host's private parts: the classes and helpers its files share. The
// program and the tests see the host through dialog_host_portable.h. One file
// each, named after what it holds, in the order of this header's sections:
//   dialog_layout_portable.cpp         template units, control rectangles, the
//                                      reading order, which group holds what
//   dialog_painting_portable.cpp       group frames, focus marks, the logo
//   dialog_title_bar_portable.cpp      the window flags of a dialog's frame, and
//                                      the title bar and frame windows draw
//                                      themselves on Wayland
//   dialog_accessibility_portable.cpp  the lists' accessible interface, names
//                                      for what has no caption
//   dialog_message_box_portable.cpp    MessageBoxA: buttons, icon, answer, the
//                                      box wide enough for its title
//   dialog_lost_window_portable.cpp    the X11 watch for a window destroyed
//                                      from outside
//   dialog_combo_portable.cpp          the combo box and its notification rules
//                                      (DROPDOWN, SELCHANGE before CLOSEUP,
//                                      focus, typed text selecting nothing)
//   dialog_manager_portable.cpp        the seam table the core calls, the
//                                      dialog made from the template, its life
//                                      (initialise, EndDialog, the end of the
//                                      run) and dispatch to the procedure
//   platform_portable.cpp              the portable back ends installed, and
//                                      what the entry hands setup_main (its
//                                      face only: dialog_host_portable.h)
#pragma once

#include <QComboBox>
#include <QFontMetrics>
#include <QDialog>
#include <QGroupBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <array>
#include <cstdint>
#include <span>

#include "platform/seams.h"
#include "platform/winapi_values.h"
#include "res/dialog_template.h"

class QMouseEvent;
class QWheelEvent;

namespace qt_host {

class HostDialog;

// A host text (UTF-8, null for none) as Qt's.
inline QString from_host_text(const char* text) { return text ? QString::fromUtf8(text) : QString(); }
// A window handle is the widget's address.
inline QWidget* widget_of(HostWindow handle) { return static_cast<QWidget*>(handle); }
inline HostWindow handle_of(QWidget* widget) { return static_cast<void*>(widget); }

// Window and control styles of the template.
inline constexpr uint32_t STYLE_DISABLED = 0x08000000;  // WS_DISABLED
inline constexpr uint32_t STYLE_BORDER = 0x00800000;    // WS_BORDER
inline constexpr uint32_t BUTTON_TYPE_MASK = 0x0F;
inline constexpr uint32_t BUTTON_DEFPUSHBUTTON = 0x01;
inline constexpr uint32_t BUTTON_AUTOCHECKBOX = 0x03;
inline constexpr uint32_t BUTTON_GROUPBOX = 0x07;
inline constexpr uint32_t BUTTON_PUSHLIKE = 0x1000;
inline constexpr uint32_t COMBO_TYPE_MASK = 0x03;
inline constexpr uint32_t COMBO_DROPDOWN = 0x02;  // editable field
inline constexpr uint32_t COMBO_SORT = 0x0100;
inline constexpr uint32_t EDIT_READONLY = 0x0800;
inline constexpr uint32_t STATIC_TYPE_MASK = 0x1F;
inline constexpr uint32_t STATIC_CENTER = 0x01;
inline constexpr uint32_t STATIC_RIGHT = 0x02;
inline constexpr uint32_t STATIC_BITMAP = 0x0E;
inline constexpr uint32_t STATIC_CENTERIMAGE = 0x0200;

// ---------------------------------------------------------------- layout

// The controls in the order they are made: a screen reader's tree reads it,
// Tab follows it.
std::span<const int32_t> reading_order();
bool is_group(const TemplateControl& t);
// The group box whose frame holds the centre of a control, or null.
const TemplateControl* group_of(const TemplateControl& t);
// How far a group's controls reach above its frame, in pixels.
int lift_of(const TemplateControl& group);

// ---------------------------------------------------------------- painting

// The host's one-pixel lines on whole device pixels. At 125% to 175% a
// logical pixel spans a fraction of device pixels more than one, and a
// 1-pixel pen at logical coordinates falls across two rows or columns (and
// at 200% its right and bottom edges run one device pixel short). These map
// a widget's rectangle to the device pixels nearest its edges, relative to
// the window's buffer, and fill lines of whole device pixels: one below 200%,
// two from there on.
class DeviceLines {
public:
    explicit DeviceLines(QPainter& painter);
    int width() const { return width_; }
    // A logical rectangle's edges on the device pixels nearest them.
    QRect snapped(const QRect& logical) const;
    void fill(const QRect& device, const QColor& color);
    // The lines inside a device rectangle's edges; dotted: every other dot.
    void outline(const QRect& device, const QColor& color, bool dotted = false);

private:
    QPainter& painter_;
    QTransform to_device_;
    int width_;
};

// A push button or push-like check box. Once the keyboard has moved the
// focus, the focused one shows a dotted rectangle inside its frame, as on
// Windows: Fusion's own mark, a blue outline, is the default button's too.
class HostButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A group box drawn as the Windows one: an etched frame whose top edge runs
// through the middle of the title, the title on the dialog's background.
// The title keeps its leading blanks, under which a title check box may lie.
// The box holds its controls; it reaches `lift` pixels above its frame for a
// title check box that starts above it (IDC_SOUND).
class GroupFrame final : public QGroupBox {
public:
    GroupFrame(QWidget* parent, int lift) : QGroupBox(parent), lift_(lift) {}

    void set_caption(const QString& shown);
    // Where the title's text begins after its leading blanks, and its width.
    int text_x() const;
    int text_width() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int frame_top() const;
    qsizetype leading_blanks() const;

    int lift_;
    QString shown_;
};

// The logo at a screen's pixel ratio.
QPixmap logo_for(qreal ratio);

// ---------------------------------------------------------------- title bar

// On Wayland the dialog and its boxes draw their own title bar and frame:
// Qt's decorations there show minimise and maximise whatever the window's
// flags ask, and cut a box's title that is wider than the box.
bool draws_own_title_bar();
// The window flags of a Windows dialog's frame (close only), or, where the
// window draws its own title bar, none.
Qt::WindowFlags dialog_frame();

// The window's icon, its whole title centred, and a close box only; a press
// elsewhere on it lets the compositor move the window. It takes the top of
// the window's contents margins, the frame the rest, and keeps to the
// window's width. Not in the Tab order.
class TitleBar final : public QWidget {
public:
    static constexpr int FRAME_PIXELS = 1;

    explicit TitleBar(QWidget* window);
    int bar_height() const;
    // The narrowest window that shows its whole title.
    int window_width_for_title() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QFont title_font() const;
    QFontMetrics title_metrics() const;
    void place();

    QWidget* close_;
};

// The 1-pixel frame round a window with its own title bar, and the bar's rule,
// from its paintEvent.
void paint_window_frame(QWidget* window);

// ---------------------------------------------------------------- accessibility

// Lists named after their labels, title bars as groups named after their
// window's title, for every window of the process (once).
void install_accessibility();
// Names for the controls that have no caption of their own.
void name_uncaptioned(const HostDialog& dialog);

// ---------------------------------------------------------------- message box

// MessageBoxA over the window that asks (or the active modal one).
int32_t message_box(HostWindow owner, const char* text, const char* caption, uint32_t type);

// ---------------------------------------------------------------- lost window

// On X11, a dialog's window destroyed by another client ends the run
// (HostDialog::window_lost); installed once, nothing elsewhere.
void watch_for_lost_windows();

// ---------------------------------------------------------------- combo box

// A combo box that reports what a Windows combo box notifies its dialog of,
// and that, like a CBS_DROPDOWN box, has no selected entry once the player
// has typed a text that is not one of its entries. What it reports follows
// its own state (the selection the procedure knows, whether the list is open,
// whether the focus is within), never the order of Qt's signals.
class HostCombo final : public QComboBox {
public:
    HostCombo(HostDialog* owner, int32_t id, bool editable, bool sorted, QWidget* parent);

    bool sorted() const { return sorted_; }
    // The open list's selection follows the entry even while it is closed: a
    // screen reader reads the entry from there.
    void mark_entry_in_list() const;
    int32_t selection() const;

    // Programmatic changes: no signal, no notification.
    void reset();
    int32_t insert_at(int32_t position, const QString& text);
    void select(int32_t position);
    void set_field_text(const QString& text);

protected:
    void showPopup() override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Closing: hidden, the choice made in it maybe not yet applied.
    enum class ListState : uint8_t { closed, open, closing };

    void typed(const QString& text);
    void chosen();
    void report_selection();
    void list_closed();
    void report_focus();
    void wheel_in_list(const QWheelEvent* wheel);

    HostDialog* owner_;
    int32_t id_;
    bool sorted_;
    bool typed_away_ = false;
    ListState list_ = ListState::closed;
    int32_t known_selection_ = CB_ERR;  // as the procedure last set it or heard of it
    bool focus_known_ = false;          // as last reported
    bool list_watched_ = false;
    int wheel_rest_ = 0;  // eighths of a degree short of a whole notch
};

// ---------------------------------------------------------------- dialog manager

// What a Windows control with prefix processing shows, and that text for a Qt
// button or group box, which treats "&" as a mnemonic.
QString shown_text(const char* text);
QString escaped_for_qt(const QString& shown);

// IDD_SETUP. Commands reach the procedure only for what the player does, one
// at a time; EndDialog takes effect once the procedure has returned.
class HostDialog final : public QDialog {
public:
    HostDialog();
    ~HostDialog() override;

    QWidget* control(int32_t id) const;
    void initialise();
    void notify(int32_t id, uint32_t code);
    void end(intptr_t result);
    // A window of the run destroyed from outside: the run ends as "Exit"
    // ends it, without asking, every open box closed unanswered.
    void window_lost();
    bool ended() const { return ended_; }
    intptr_t end_result() const { return result_; }

    // What lies wholly outside the client area (the folded band) is hidden: a
    // screen reader then reports it not showing, and Tab passes it by.
    void show_controls_within(const QSize& client);

    // Esc and QDialog's own paths: the procedure decides, as for "Exit".
    void reject() override;
    void accept() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void dispatch(uint32_t message, uintptr_t wparam, intptr_t lparam);
    void finish();
    QWidget* create_control(const TemplateControl& t, QWidget* parent);

    // The template's coordinates start at its corner: the dialog itself, or
    // on Wayland a widget below the dialog's own title bar.
    TitleBar* title_bar_ = nullptr;
    QWidget* client_ = this;
    std::array<QWidget*, template_control_count> controls_{};
    bool initialised_ = false;  // WM_INITDIALOG sent: commands may follow
    bool dispatching_ = false;  // the procedure is running: nothing reaches it
    bool ended_ = false;        // EndDialog called: the run ends once the procedure returns
    bool finishing_ = false;    // done() called: the close it causes is let through
    intptr_t result_ = 0;       // EndDialog's code
};

}  // namespace qt_host
