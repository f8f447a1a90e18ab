// The Windows dialog manager as the procedure meets it, over Qt widgets: the
// seam table the core calls, the dialog made from the template, a command for
// what the player does and only that, EndDialog once the procedure has
// returned.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QVariant>
#include <algorithm>
#include <cstring>

#include "dialog/controller.h"
#include "dialog_host_parts.h"
#include "dialog_host_portable.h"
#include "portable_backends.h"

namespace {

// The combo box list shows whole rows of this height inside the template's
// dropped-down height.
constexpr int LIST_ROW_HEIGHT = 13;

}  // namespace

QtDialogProcedure qt_dialog_procedure = setup_dialog_proc;

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

QWidget* HostDialog::control(int32_t id) const {
    for (size_t i = 0; i < template_control_count; ++i)
        if (template_controls[i].id == id) return controls_[i];
    return nullptr;
}

void HostDialog::initialise() {
    if (initialised_) return;
    initialised_ = true;
    dispatch(WM_INITDIALOG, 0, 0);
    // The first control takes the focus now, not when the window turns
    // active: Qt on Wayland activates a window a round trip after its
    // keyboard arrives, and a key typed in between went to the dialog itself
    // (a first Tab only reached the first control).
    if (!ended_ && !focusWidget()) focusNextPrevChild(true);
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

void HostDialog::reject() { notify(IDCANCEL, BN_CLICKED); }
void HostDialog::accept() { notify(IDOK, BN_CLICKED); }

void HostDialog::closeEvent(QCloseEvent* event) {
    if (finishing_) {
        event->accept();
        return;
    }
    // The close box is "Exit"; the procedure may keep the dialog open.
    event->ignore();
    notify(IDCANCEL, BN_CLICKED);
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
    qt_dialog_procedure(static_cast<QWidget*>(this), message, wparam, lparam);
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

// Hidden while still a HostDialog: hiding moves the focus out of a combo box,
// which tells its owner (QDialog's destructor would hide it too late for
// that). Nothing reaches the procedure any more.
HostDialog::~HostDialog() {
    ended_ = true;
    hide();
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
            connect(b, &QAbstractButton::clicked, this, [this, id](bool) { notify(id, BN_CLICKED); });
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

using qt_host::from_host_text;
using qt_host::GroupFrame;
using qt_host::handle_of;
using qt_host::HostCombo;
using qt_host::HostDialog;
using qt_host::shown_text;
using qt_host::escaped_for_qt;
using qt_host::widget_of;

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
                                          .message_box = qt_host::message_box,
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

