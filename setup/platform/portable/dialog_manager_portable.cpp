// The Windows dialog manager as the procedure meets it, over Qt widgets: the
// dialog made from the template, a command for what the player does and only
// that, EndDialog once the procedure has returned, message boxes, and the
// seam table that hands all this to the core.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QVariant>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xproto.h>

#include "dialog/controller.h"
#include "dialog_host_parts.h"
#include "dialog_host_portable.h"
#include "portable_backends.h"

namespace {

// Notification codes in the high word of WM_COMMAND's wparam.
constexpr uint32_t NOTIFY_CLICKED = 0;     // BN_CLICKED
constexpr uint32_t NOTIFY_SETFOCUS = 3;    // CBN_SETFOCUS
constexpr uint32_t NOTIFY_KILLFOCUS = 4;   // CBN_KILLFOCUS
constexpr uint32_t NOTIFY_EDITCHANGE = 5;  // CBN_EDITCHANGE
constexpr uint32_t NOTIFY_DROPDOWN = 7;    // CBN_DROPDOWN
constexpr uint32_t NOTIFY_CLOSEUP = 8;     // CBN_CLOSEUP

// MessageBoxA types and answers the program may meet.
constexpr uint32_t BOX_BUTTONS_MASK = 0x0F;
constexpr uint32_t BOX_OKCANCEL = 0x01;
constexpr uint32_t BOX_YESNOCANCEL = 0x03;
constexpr uint32_t BOX_RETRYCANCEL = 0x05;
constexpr uint32_t BOX_ICON_MASK = 0xF0;
constexpr uint32_t BOX_ICONERROR = 0x10;
constexpr uint32_t BOX_ICONQUESTION = 0x20;
constexpr uint32_t BOX_ICONINFORMATION = 0x40;
constexpr int32_t ANSWER_RETRY = 4;

// A Windows dialog's title bar, the message boxes' too: close only, no
// minimise or maximise. On Wayland the window draws its own (TitleBar).
constexpr Qt::WindowFlags DIALOG_FRAME = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
// Qt drops the frameless hint beside any of the title bar's hints.
Qt::WindowFlags dialog_frame() {
    return qt_host::draws_own_title_bar() ? Qt::Dialog | Qt::FramelessWindowHint : DIALOG_FRAME;
}
// Room a window manager's title bar takes from the title on either side (icon
// or menu on one, up to three buttons on the other, each at most this wide
// with its spacing), and the largest title font met there: a box is at least
// that much wider than its title.
constexpr int TITLE_BAR_BUTTON_PIXELS = 36;
constexpr int TITLE_BAR_FONT_PIXELS = 16;

// The combo box list shows whole rows of this height inside the template's
// dropped-down height, its texts this far from either side.
constexpr int LIST_ROW_HEIGHT = 13;
constexpr int LIST_TEXT_MARGIN = 4;

QString from_host_text(const char* text) { return text ? QString::fromUtf8(text) : QString(); }

// A window handle is the widget's address.
QWidget* widget_of(HostWindow handle) { return static_cast<QWidget*>(handle); }
HostWindow handle_of(QWidget* widget) { return static_cast<void*>(widget); }

// A window destroyed by another X client (XDestroyWindow, as `xdotool
// windowclose` sends) goes without a close request: Qt keeps the widget as
// shown and a modal loop on it waits for ever. The dialog's or a message
// box's window destroyed ends the run.
class LostWindowWatch final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY) return false;
        const xcb_window_t gone = static_cast<const xcb_destroy_notify_event_t*>(message)->window;
        bool ours = false;
        for (const QWidget* w : QApplication::topLevelWidgets())
            ours = ours || (qobject_cast<const QDialog*>(w) && w->internalWinId() == gone);
        // Once Qt has done with the event.
        if (ours) QMetaObject::invokeMethod(qApp, &LostWindowWatch::end_run, Qt::QueuedConnection);
        return false;
    }

private:
    static void end_run() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = dynamic_cast<qt_host::HostDialog*>(w)) dialog->window_lost();
    }
};

void watch_for_lost_windows() {
    static LostWindowWatch watch;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    [[maybe_unused]] static const bool installed = (qApp->installNativeEventFilter(&watch), true);
}

}  // namespace

namespace qt_host {

// What a Windows control with prefix processing shows: "&&" is one "&"; a
// single "&" marks a mnemonic, which this dialog does not use, so it is
// dropped rather than turned into a Qt shortcut.
QString shown_text(const char* text) {
    const QString in = from_host_text(text);
    QString out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != QLatin1Char('&')) {
            out += in[i];
        } else if (i + 1 < in.size() && in[i + 1] == QLatin1Char('&')) {
            out += QLatin1Char('&');
            ++i;
        }
    }
    return out;
}

// Qt's buttons and group boxes treat "&" as a mnemonic; "&&" shows one "&".
QString escaped_for_qt(const QString& shown) {
    QString out = shown;
    out.replace(QLatin1Char('&'), QLatin1String("&&"));
    return out;
}

HostCombo::HostCombo(HostDialog* owner, int32_t id, bool editable, bool sorted, QWidget* parent)
    : QComboBox(parent), owner_(owner), id_(id), sorted_(sorted) {
    setEditable(editable);
    if (editable) {
        // A Windows edit field neither completes nor adds what is typed.
        setInsertPolicy(QComboBox::NoInsert);
        setCompleter(nullptr);
        // Qt selects the entry that matches the typed text when editing
        // finishes (Enter, focus leaving); a Windows drop-down box keeps the
        // text and selects nothing.
        QObject::disconnect(lineEdit(), &QLineEdit::editingFinished, nullptr, nullptr);
        connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) { typed(text); });
    }
    connect(this, &QComboBox::activated, this, [this](int) { chosen(); });
    connect(this, &QComboBox::currentIndexChanged, this, [this](int) { mark_entry_in_list(); });
}

int32_t HostCombo::selection() const { return typed_away_ ? CB_ERR : currentIndex(); }

void HostCombo::reset() {
    const QSignalBlocker block(this);
    const QSignalBlocker block_edit(lineEdit());
    clear();
    if (isEditable()) clearEditText();  // CB_RESETCONTENT empties the field too
    typed_away_ = false;
    mark_entry_in_list();
    known_selection_ = selection();
}

int32_t HostCombo::insert_at(int32_t position, const QString& text) {
    const QSignalBlocker block(this);
    const QSignalBlocker block_edit(lineEdit());
    const bool had_selection = currentIndex() >= 0;
    const QString field = isEditable() ? currentText() : QString();
    insertItem(position, text, QVariant::fromValue<qlonglong>(0));
    // Qt selects the first entry of an empty list; Windows selects nothing.
    if (!had_selection && currentIndex() >= 0) {
        setCurrentIndex(-1);
        if (isEditable()) setEditText(field);
    }
    mark_entry_in_list();
    known_selection_ = selection();
    return position;
}

void HostCombo::select(int32_t position) {
    const QSignalBlocker block(this);
    const QSignalBlocker block_edit(lineEdit());
    typed_away_ = false;
    setCurrentIndex(position >= 0 && position < count() ? position : -1);
    mark_entry_in_list();
    known_selection_ = selection();
}

void HostCombo::set_field_text(const QString& text) {
    const QSignalBlocker block(this);
    const QSignalBlocker block_edit(lineEdit());
    setEditText(text);
}

void HostCombo::typed(const QString&) {
    // As in a closed Windows drop-down box, typed text selects no entry, not
    // even one it matches: the text stands and the controller decides.
    typed_away_ = true;
    known_selection_ = CB_ERR;
    owner_->notify(id_, NOTIFY_EDITCHANGE);
}

void HostCombo::chosen() {
    // The player chose an entry (perhaps the one already current, after
    // typing). A choice from the list is reported when the list has closed.
    typed_away_ = false;
    if (list_ == ListState::closed) report_selection();
}

void HostCombo::report_selection() {
    if (selection() == known_selection_) return;
    known_selection_ = selection();
    owner_->notify(id_, CBN_SELCHANGE);
}

void HostCombo::list_closed() {
    if (list_ != ListState::closing) return;
    list_ = ListState::closed;
    // Windows reports the change before the list closing: a procedure that
    // refills the list on the closing (the speaker box does) must find the
    // choice already made, or it is lost.
    report_selection();
    owner_->notify(id_, NOTIFY_CLOSEUP);
    report_focus();  // a click elsewhere that closed the list may have taken the focus
}

void HostCombo::showPopup() {
    list_closed();  // reopened before the last closing was reported
    owner_->notify(id_, NOTIFY_DROPDOWN);
    if (!list_watched_) {
        // The list and its frame: the frame tells when the list closes, and
        // the wheel reaches it when the pointer is outside the list, which
        // holds the pointer grab.
        list_watched_ = true;
        view()->viewport()->installEventFilter(this);
        if (QWidget* frame = view()->parentWidget()) frame->installEventFilter(this);
    }
    wheel_rest_ = 0;
    list_ = ListState::open;
    // An entry wider than the field widens the open list: an adapter's
    // renderer name rarely fits.
    int widest = 0;
    for (int i = 0; i < count(); ++i) widest = std::max(widest, fontMetrics().horizontalAdvance(itemText(i)));
    const int needed = widest + 2 * view()->frameWidth() + 2 * LIST_TEXT_MARGIN;
    view()->setMinimumWidth(needed > width() ? needed : 0);
    QComboBox::showPopup();
    if (!view()->isVisible()) list_ = ListState::closed;  // Qt shows no list for an empty box
}

bool HostCombo::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched == view()->parentWidget() && list_ == ListState::open) {
        // However the list closes (a choice, Esc, a click elsewhere, another
        // window taking over). A choice made in it is applied while Qt handles
        // the same input, so the closing is reported once that has returned.
        list_ = ListState::closing;
        QMetaObject::invokeMethod(this, [this] { list_closed(); }, Qt::QueuedConnection);
    } else if (event->type() == QEvent::Wheel && list_ == ListState::open) {
        wheel_in_list(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}

void HostCombo::wheel_in_list(const QWheelEvent* wheel) {
    // Over an open list the wheel moves the highlight a row per notch, as the
    // arrow keys do (Windows turns it into arrow keys there); Enter or a
    // click picks. Qt would only scroll a list that does not fit.
    wheel_rest_ += wheel->angleDelta().y();
    const int notches = wheel_rest_ / 120;
    wheel_rest_ -= notches * 120;
    if (notches == 0 || count() == 0) return;
    QAbstractItemView* list = view();
    const int from = list->currentIndex().isValid() ? list->currentIndex().row() : (notches < 0 ? -1 : count());
    const int row = std::clamp(from - notches, 0, count() - 1);
    list->setCurrentIndex(model()->index(row, modelColumn(), rootModelIndex()));
}

// The list opening or closing moves no focus on Windows; Qt moves it into the
// list and back. The open list counts as part of the box, so only the focus
// entering or leaving the box is reported (a KILLFOCUS while the list opened
// had the speaker box refilled under it, its highlight back on the first entry).
void HostCombo::report_focus() {
    const bool within = list_ != ListState::closed || hasFocus();
    if (within == focus_known_) return;
    focus_known_ = within;
    owner_->notify(id_, within ? NOTIFY_SETFOCUS : NOTIFY_KILLFOCUS);
}

void HostCombo::focusInEvent(QFocusEvent* event) {
    QComboBox::focusInEvent(event);
    report_focus();
}

void HostCombo::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    report_focus();
}

QWidget* HostDialog::control(int32_t id) const {
    for (size_t i = 0; i < template_control_count; ++i)
        if (template_controls[i].id == id) return controls_[i];
    return nullptr;
}

void HostDialog::initialise() {
    if (initialised_) return;
    initialised_ = true;
    dispatch(WM_INITDIALOG, 0, 0);
}

void HostDialog::notify(int32_t id, uint32_t code) {
    // A command that arises while the procedure runs (focus moving when a
    // control is disabled or a message box opens, a list closing) is not
    // the player's: the procedure is never re-entered.
    if (!initialised_ || ended_ || dispatching_) return;
    const uintptr_t wparam = (static_cast<uintptr_t>(code & 0xFFFFu) << 16) | (static_cast<uint32_t>(id) & 0xFFFFu);
    // lparam: the control's handle as an integer, which converts back to it.
    dispatch(WM_COMMAND, wparam, reinterpret_cast<intptr_t>(handle_of(control(id))));
}

void HostDialog::end(intptr_t result) {
    ended_ = true;
    result_ = result;
    if (!dispatching_) finish();
}

void HostDialog::window_lost() {
    if (!ended_) end(IDCANCEL);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QDialog*>(w); box && box != this && box->isVisible()) box->done(QDialog::Rejected);
}

void HostDialog::show_controls_within(const QSize& client) {
    for (QWidget* w : controls_)
        if (w->parentWidget() == client_) w->setVisible(QRect(QPoint(), client).intersects(w->geometry()));
}

void HostDialog::reject() { notify(IDCANCEL, NOTIFY_CLICKED); }
void HostDialog::accept() { notify(IDOK, NOTIFY_CLICKED); }

void HostDialog::closeEvent(QCloseEvent* event) {
    if (finishing_) {
        event->accept();
        return;
    }
    // The close box is "Exit"; the procedure may keep the dialog open.
    event->ignore();
    notify(IDCANCEL, NOTIFY_CLICKED);
}

void HostDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (client_ != this) client_->setGeometry(contentsRect());
}

void HostDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (title_bar_) paint_window_frame(this);
}

void HostDialog::dispatch(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    QPointer<HostDialog> alive(this);
    dispatching_ = true;
    setup_dialog_proc(static_cast<QWidget*>(this), message, wparam, lparam);
    if (!alive) return;
    dispatching_ = false;
    if (ended_) finish();
}

void HostDialog::finish() {
    if (finishing_) {
        setResult(static_cast<int>(result_));
        return;
    }
    finishing_ = true;
    done(static_cast<int>(result_));
}

HostDialog::HostDialog() {
    setWindowFlags(dialog_frame());
    setWindowTitle(QString::fromUtf8(SETUP_DIALOG_TITLE));
    setFont(qt_dialog_font());
    setWindowModality(Qt::ApplicationModal);
    install_accessibility();
    watch_for_lost_windows();
    if (draws_own_title_bar()) {
        title_bar_ = new TitleBar(this);
        client_ = new QWidget(this);
    }
    // The bar and the frame count in the window's size, as a frame would.
    setFixedSize(QSize(qt_dialog_x(SETUP_DIALOG_W), qt_dialog_y(SETUP_DIALOG_H)).grownBy(contentsMargins()));

    // Qt stacks later siblings on top and chains keyboard focus in the order
    // of creation. A group box holds its controls, so a screen reader finds
    // them inside it.
    QLabel* label = nullptr;
    for (const int32_t id : reading_order()) {
        const auto i = static_cast<size_t>(find_template_control(id) - template_controls);
        const TemplateControl* group = group_of(template_controls[i]);
        controls_[i] = create_control(template_controls[i], group ? control(group->id) : client_);
        // A label names the list that follows it.
        if (auto* list = dynamic_cast<HostCombo*>(controls_[i]); list && label) label->setBuddy(list);
        label = qobject_cast<QLabel*>(controls_[i]);
    }
    name_uncaptioned(*this);

    // DS_CENTER: centred on the screen at the full size.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

QWidget* HostDialog::create_control(const TemplateControl& t, QWidget* parent) {
    const QString cls = QString::fromLatin1(t.class_name);
    QWidget* w = nullptr;
    bool focusable = true;
    bool hit_transparent = false;

    if (cls == QLatin1String("BUTTON")) {
        const uint32_t type = t.style & BUTTON_TYPE_MASK;
        if (type == BUTTON_GROUPBOX) {
            // Not transparent for the mouse: Qt would not look for the
            // controls inside. A click beside them goes on to the dialog.
            w = new GroupFrame(parent, lift_of(t));
            focusable = false;
        } else {
            QAbstractButton* b;
            if (type == BUTTON_AUTOCHECKBOX && (t.style & BUTTON_PUSHLIKE)) {
                auto* push = new HostButton(parent);
                push->setCheckable(true);
                push->setAutoDefault(false);  // a check box: Enter stays with the default button
                b = push;
            } else if (type == BUTTON_AUTOCHECKBOX) {
                b = new QCheckBox(parent);
            } else {
                auto* push = new HostButton(parent);
                push->setAutoDefault(true);
                push->setDefault(type == BUTTON_DEFPUSHBUTTON);
                b = push;
            }
            const int32_t id = t.id;
            // clicked() comes after the button has toggled: the box is flipped
            // before its command arrives.
            connect(b, &QAbstractButton::clicked, this, [this, id](bool) { notify(id, NOTIFY_CLICKED); });
            w = b;
        }
    } else if (cls == QLatin1String("COMBOBOX")) {
        const bool editable = (t.style & COMBO_TYPE_MASK) == COMBO_DROPDOWN;
        auto* combo = new HostCombo(this, t.id, editable, (t.style & COMBO_SORT) != 0, parent);
        const int dropped = qt_dialog_y(t.h) - QT_COMBO_FIELD_HEIGHT;
        combo->setMaxVisibleItems(std::max(1, dropped / LIST_ROW_HEIGHT));
        w = combo;
    } else if (cls == QLatin1String("EDIT")) {
        auto* edit = new QLineEdit(parent);
        edit->setReadOnly((t.style & EDIT_READONLY) != 0);
        edit->setFrame((t.style & STYLE_BORDER) != 0);
        if (edit->isReadOnly()) {
            // A read-only edit shows the dialog's colour, as a static text.
            QPalette pal = edit->palette();
            pal.setColor(QPalette::Base, pal.color(QPalette::Window));
            edit->setPalette(pal);
        }
        w = edit;
    } else {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        const uint32_t type = t.style & STATIC_TYPE_MASK;
        if (type == STATIC_BITMAP) {
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
            label->setLineWidth(1);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            const QPixmap logo = logo_for(label->devicePixelRatioF());
            if (!logo.isNull()) label->setPixmap(logo);
        } else {
            Qt::Alignment align = type == STATIC_CENTER ? Qt::AlignHCenter
                                  : type == STATIC_RIGHT ? Qt::AlignRight
                                                         : Qt::AlignLeft;
            align |= (t.style & STATIC_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
            label->setAlignment(align);
        }
        focusable = false;
        hit_transparent = true;  // a static control lets clicks through
        w = label;
    }

    w->setObjectName(QStringLiteral("control_%1").arg(t.id));
    w->setProperty("control_id", t.id);
    // Dialog units place a control in the dialog; a group box reaches up by
    // its lift.
    const QPoint origin = parent == client_ ? QPoint() : parent->pos();
    w->setGeometry(qt_control_rect(t.id).adjusted(0, is_group(t) ? -lift_of(t) : 0, 0, 0).translated(-origin));
    w->setEnabled((t.style & STYLE_DISABLED) == 0);
    if (hit_transparent) w->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Everything a player changes takes Tab; the read-only fields only a click.
    auto* edit = qobject_cast<QLineEdit*>(w);
    w->setFocusPolicy(!focusable ? Qt::NoFocus : edit && edit->isReadOnly() ? Qt::ClickFocus : Qt::StrongFocus);
    return w;
}

}  // namespace qt_host

namespace {

using qt_host::GroupFrame;
using qt_host::HostCombo;
using qt_host::HostDialog;
using qt_host::shown_text;
using qt_host::escaped_for_qt;

// A message box sized for its text and buttons, and at least as wide as its
// title needs in the title bar: a short text under a long title left the
// title cut. On Wayland it draws its own title bar, as the dialog. Qt sizes
// the box again whenever it lays it out, so the width is checked after each
// event.
class HostMessageBox final : public QMessageBox {
public:
    explicit HostMessageBox(QWidget* parent)
        : QMessageBox(parent), title_bar_(qt_host::draws_own_title_bar() ? new qt_host::TitleBar(this) : nullptr) {}

protected:
    bool event(QEvent* event) override {
        const bool handled = QMessageBox::event(event);
        if (event->type() == QEvent::WindowTitleChange) {
            QFont title_font = font();
            title_font.setPixelSize(TITLE_BAR_FONT_PIXELS);
            title_width_ = title_bar_ ? title_bar_->window_width_for_title()
                                      : QFontMetrics(title_font).horizontalAdvance(windowTitle()) +
                                            6 * TITLE_BAR_BUTTON_PIXELS;
        }
        const int grow = title_width_ - width();
        if (isVisible() && grow > 0) {
            setFixedWidth(title_width_);
            // Widened once it is placed over its parent: still centred there.
            if (!widened_) move(x() - grow / 2, y());
            widened_ = true;
        }
        return handled;
    }

    void paintEvent(QPaintEvent* event) override {
        QMessageBox::paintEvent(event);
        if (title_bar_) qt_host::paint_window_frame(this);
    }

private:
    qt_host::TitleBar* title_bar_;
    int title_width_ = 0;
    bool widened_ = false;
};

// ---------------------------------------------------------------- handles

HostDialog* dialog_of(HostWindow handle) { return handle ? dynamic_cast<HostDialog*>(widget_of(handle)) : nullptr; }
HostCombo* combo_of(HostWindow handle) { return handle ? dynamic_cast<HostCombo*>(widget_of(handle)) : nullptr; }
QAbstractButton* check_box_of(HostWindow dialog, int32_t id) {
    HostDialog* d = dialog_of(dialog);
    auto* b = d ? qobject_cast<QAbstractButton*>(d->control(id)) : nullptr;
    return b && b->isCheckable() ? b : nullptr;
}


// ---------------------------------------------------------------- the table

HostWindow host_get_item(HostWindow dialog, int32_t id) {
    HostDialog* d = dialog_of(dialog);
    return d ? handle_of(d->control(id)) : nullptr;
}

uint32_t host_get_check(HostWindow dialog, int32_t id) {
    QAbstractButton* b = check_box_of(dialog, id);
    return b && b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void host_set_check(HostWindow dialog, int32_t id, uint32_t state) {
    QAbstractButton* b = check_box_of(dialog, id);
    if (!b) return;
    const QSignalBlocker block(b);
    b->setChecked(state != BST_UNCHECKED);  // a two-state box shows any other state as checked
}

void host_enable(HostWindow control, bool enabled) {
    if (control) widget_of(control)->setEnabled(enabled);
}

void host_set_text(HostWindow control, const char* text) {
    if (!control) return;
    QWidget* w = widget_of(control);
    if (dialog_of(control)) {
        w->setWindowTitle(from_host_text(text));
    } else if (auto* group = dynamic_cast<GroupFrame*>(w)) {
        group->set_caption(shown_text(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(escaped_for_qt(shown_text(text)));
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->pixmap().isNull()) label->setText(shown_text(text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        const QSignalBlocker block(edit);
        edit->setText(from_host_text(text));
        edit->setCursorPosition(0);  // the start of a long text stays in view
    } else if (HostCombo* combo = combo_of(control)) {
        if (combo->isEditable()) combo->set_field_text(from_host_text(text));
    }
}

void host_list_reset(HostWindow list) {
    if (HostCombo* combo = combo_of(list)) combo->reset();
}

int32_t host_list_append(HostWindow list, const char* text) {
    HostCombo* combo = combo_of(list);
    return combo ? combo->insert_at(combo->count(), from_host_text(text)) : CB_ERR;
}

int32_t host_list_add_sorted(HostWindow list, const char* text) {
    HostCombo* combo = combo_of(list);
    if (!combo) return CB_ERR;
    const QString item = from_host_text(text);
    if (!combo->sorted()) return combo->insert_at(combo->count(), item);
    // Case-insensitive text order (a blank before any digit); an equal text
    // goes after the ones already there.
    int32_t position = 0;
    while (position < combo->count() && combo->itemText(position).compare(item, Qt::CaseInsensitive) <= 0) ++position;
    return combo->insert_at(position, item);
}

int32_t host_list_count(HostWindow list) {
    HostCombo* combo = combo_of(list);
    return combo ? combo->count() : CB_ERR;
}

void host_list_set_data(HostWindow list, int32_t position, intptr_t data) {
    HostCombo* combo = combo_of(list);
    if (!combo || position < 0 || position >= combo->count()) return;
    const QSignalBlocker block(combo);
    combo->setItemData(position, QVariant::fromValue<qlonglong>(data));
}

intptr_t host_list_get_data(HostWindow list, int32_t position) {
    HostCombo* combo = combo_of(list);
    if (!combo || position < 0 || position >= combo->count()) return CB_ERR;
    return static_cast<intptr_t>(combo->itemData(position).toLongLong());
}

int32_t host_list_get_selection(HostWindow list) {
    HostCombo* combo = combo_of(list);
    return combo ? combo->selection() : CB_ERR;
}

void host_list_set_selection(HostWindow list, int32_t position) {
    if (HostCombo* combo = combo_of(list)) combo->select(position);
}

int32_t host_load_string(uint32_t id, char* buffer, int32_t size) {
    if (!buffer || size <= 0) return 0;
    const char* text = find_template_string(id);
    if (!text) {
        buffer[0] = '\0';
        return 0;
    }
    const size_t n = std::min(std::strlen(text), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return static_cast<int32_t>(n);
}

int32_t host_message_box(HostWindow owner, const char* text, const char* caption, uint32_t type) {
    // The box belongs to the window that asks (the dialog, or the dialog of a
    // control), so that it opens over it as its transient child.
    QWidget* over = owner ? widget_of(owner)->window() : QApplication::activeModalWidget();
    HostMessageBox box(over);
    box.setWindowFlags(dialog_frame());
    box.setWindowTitle(from_host_text(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(from_host_text(text));
    switch (type & BOX_ICON_MASK) {
        case BOX_ICONERROR: box.setIcon(QMessageBox::Critical); break;
        case BOX_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
        case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
        case BOX_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
        default: box.setIcon(QMessageBox::NoIcon); break;
    }
    QMessageBox::StandardButtons buttons;
    switch (type & BOX_BUTTONS_MASK) {
        case BOX_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
        case BOX_YESNOCANCEL: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
        case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; break;
        case BOX_RETRYCANCEL: buttons = QMessageBox::Retry | QMessageBox::Cancel; break;
        default: buttons = QMessageBox::Ok; break;
    }
    box.setStandardButtons(buttons);
    // The first button is the default, as MB_DEFBUTTON1.
    box.setDefaultButton((type & BOX_BUTTONS_MASK) == MB_YESNO || (type & BOX_BUTTONS_MASK) == BOX_YESNOCANCEL
                             ? QMessageBox::Yes
                         : (type & BOX_BUTTONS_MASK) == BOX_RETRYCANCEL ? QMessageBox::Retry
                                                                         : QMessageBox::Ok);
    box.exec();
    // Closing a Yes/No box without an answer counts as No: nothing is discarded.
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok: return IDOK;
        case QMessageBox::Cancel: return IDCANCEL;
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::Retry: return ANSWER_RETRY;
        case QMessageBox::No: return IDNO;
        default: break;
    }
    if (buttons & QMessageBox::Cancel) return IDCANCEL;
    if (buttons & QMessageBox::No) return IDNO;
    return IDOK;
}

void host_end_dialog(HostWindow dialog, intptr_t result) {
    if (HostDialog* d = dialog_of(dialog)) d->end(result);
}

bool host_get_window_rect(HostWindow window, HostRect* rect) {
    if (!window || !rect) return false;
    QWidget* w = widget_of(window);
    // GetWindowRect: the outer frame in screen pixels.
    const QRect r = w->isWindow() ? w->frameGeometry() : QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
    *rect = HostRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
    return true;
}

void host_set_window_pos(HostWindow window, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!window) return;
    QWidget* w = widget_of(window);
    if (w->isWindow()) {
        // The given rectangle is the outer frame; the frame's margins stay.
        const QRect frame = w->frameGeometry();
        const QRect inner = w->geometry();
        const int extra_w = frame.width() - inner.width();
        const int extra_h = frame.height() - inner.height();
        const QSize outer(std::max(0, width - extra_w), std::max(0, height - extra_h));
        w->setFixedSize(outer);
        // So do the title bar and frame the window draws itself (Wayland).
        if (HostDialog* d = dialog_of(window)) d->show_controls_within(outer.shrunkBy(w->contentsMargins()));
        w->move(x, y);  // a window's position is its frame's
    } else {
        const QPoint origin = w->parentWidget() ? w->parentWidget()->mapFromGlobal(QPoint(x, y)) : QPoint(x, y);
        w->setGeometry(origin.x(), origin.y(), std::max(0, width), std::max(0, height));
    }
    w->show();  // SWP_SHOWWINDOW
}

}  // namespace

const DialogHostApi portable_dialog_host_api = {.get_item = host_get_item,
                                          .get_check = host_get_check,
                                          .set_check = host_set_check,
                                          .enable = host_enable,
                                          .set_text = host_set_text,
                                          .list_reset = host_list_reset,
                                          .list_append = host_list_append,
                                          .list_add_sorted = host_list_add_sorted,
                                          .list_count = host_list_count,
                                          .list_set_data = host_list_set_data,
                                          .list_get_data = host_list_get_data,
                                          .list_get_selection = host_list_get_selection,
                                          .list_set_selection = host_list_set_selection,
                                          .load_string = host_load_string,
                                          .message_box = host_message_box,
                                          .end_dialog = host_end_dialog,
                                          .get_window_rect = host_get_window_rect,
                                          .set_window_pos = host_set_window_pos};

intptr_t qt_run_dialog() {
    HostDialog dialog;
    dialog.initialise();
    // A procedure that ended the dialog while initialising (the fatal error
    // box) leaves nothing to run.
    if (!dialog.ended()) dialog.exec();
    return dialog.ended() ? dialog.end_result() : -1;
}

namespace {

void* allocate(size_t size) { return std::malloc(size); }
void release_memory(void* block) { std::free(block); }
void nothing() {}

}  // namespace

const ProgramHost qt_program_host = {.allocate = allocate,
                                     .release_memory = release_memory,
                                     .com_initialize = nothing,
                                     .init_common_controls = nothing,
                                     .run_dialog = qt_run_dialog,
                                     .com_uninitialize = nothing};

void install_portable_platform() {
    platform = Platform{.registry = &portable_registry_api,
                        .d3d8 = &portable_d3d8_api,
                        .ddraw = &portable_ddraw_api,
                        .voice = &portable_voice_api,
                        .host = &portable_dialog_host_api};
}
