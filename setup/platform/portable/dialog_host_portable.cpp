#include "dialog_host_portable.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVariant>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "dialog/controller.h"
#include "platform/winapi_values.h"
#include "portable_backends.h"
#include "res/dialog_template.h"

namespace {

// Window and control styles of the template.
constexpr uint32_t STYLE_DISABLED = 0x08000000;  // WS_DISABLED
constexpr uint32_t STYLE_BORDER = 0x00800000;    // WS_BORDER
constexpr uint32_t BUTTON_TYPE_MASK = 0x0F;
constexpr uint32_t BUTTON_DEFPUSHBUTTON = 0x01;
constexpr uint32_t BUTTON_AUTOCHECKBOX = 0x03;
constexpr uint32_t BUTTON_GROUPBOX = 0x07;
constexpr uint32_t BUTTON_PUSHLIKE = 0x1000;
constexpr uint32_t COMBO_TYPE_MASK = 0x03;
constexpr uint32_t COMBO_DROPDOWN = 0x02;  // editable field
constexpr uint32_t COMBO_SORT = 0x0100;
constexpr uint32_t EDIT_READONLY = 0x0800;
constexpr uint32_t STATIC_TYPE_MASK = 0x1F;
constexpr uint32_t STATIC_CENTER = 0x01;
constexpr uint32_t STATIC_RIGHT = 0x02;
constexpr uint32_t STATIC_BITMAP = 0x0E;
constexpr uint32_t STATIC_CENTERIMAGE = 0x0200;

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

// Base units of the template's font at 96 DPI.
constexpr int BASE_UNIT_X = 6;
constexpr int BASE_UNIT_Y = 13;

// The combo box list shows whole rows of this height inside the template's
// dropped-down height, its texts this far from either side.
constexpr int LIST_ROW_HEIGHT = 13;
constexpr int LIST_TEXT_MARGIN = 4;

// Windows draws a group box title 7 pixels in, over a gap in the frame one
// pixel wider on each side.
constexpr int GROUP_TITLE_X = 7;
// Leading blanks of a title keep at least the width they have in the
// template's font, so that a title check box laid over them clears the text.
constexpr int TEMPLATE_BLANK_PIXELS = 3;

int mul_div(int value, int numerator, int denominator) {
    // MulDiv: rounded half away from zero.
    const long long p = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(p >= 0 ? (p + half) / denominator : (p - half) / denominator);
}

QString from_host_text(const char* text) { return text ? QString::fromUtf8(text) : QString(); }

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

// The controls column by column, each column top to bottom, a group box before
// what it holds and a label just before its list. This is the order in which
// the controls are made: a screen reader's tree reads it, Tab follows it
// through the controls a player changes (not the template's tab stops, which
// reach three buttons), and no two overlapping controls stack otherwise than in
// the template.
constexpr int32_t READING_ORDER[] = {
    IDC_DISPLAY_GROUP,  IDC_ADAPTER,          IDC_DRIVER_VERSION, IDC_VRAM,          IDC_RESOLUTION_LABEL,
    IDC_RESOLUTION,     IDC_ANTIALIAS_LABEL,  IDC_ANTIALIAS,      IDC_AUTODETECT,    IDCANCEL,
    IDOK,               IDC_LOGO,             IDC_FULLSCREEN_GROUP, IDC_FULLSCREEN,  IDC_TRIPLE_BUFFER,
    IDC_VSYNC,          IDC_REFRESH_LABEL,    IDC_REFRESH,        IDC_BIT_DEPTH_LABEL, IDC_BIT_DEPTH,
    IDC_TEXTURE_GROUP,  IDC_TEX_LOW_DETAIL,   IDC_TEX_COMPRESSED, IDC_TEX_TRUE_COLOR, IDC_SOUND_GROUP,
    IDC_SOUND,          IDC_SPEAKERS,         IDC_SOFTWARE_MIXING, IDC_DISABLE_EAX,  IDC_EXPERT_TOGGLE,
    IDC_EXPERT_GROUP,   IDC_HW_TNL,           IDC_SUSPEND_INACTIVE, IDC_MULTIPASS,   IDC_VOICE_CHAT,
    IDC_VERSION_LABEL,
};
constexpr bool every_control_once() {
    for (const TemplateControl& c : template_controls) {
        int n = 0;
        for (const int32_t id : READING_ORDER) n += id == c.id ? 1 : 0;
        if (n != 1) return false;
    }
    return std::size(READING_ORDER) == template_control_count;
}
static_assert(every_control_once(), "every control of the template once in the reading order");

// Names for what has no caption of its own for a screen reader to read.
constexpr struct {
    int32_t id;
    const char* name;
} UNCAPTIONED_NAMES[] = {
    {IDC_DRIVER_VERSION, "Driver version"},
    {IDC_VRAM, "Video memory"},
    {IDC_LOGO, SETUP_DIALOG_TITLE},
};

bool is_group(const TemplateControl& t) {
    return std::strcmp(t.class_name, "BUTTON") == 0 && (t.style & BUTTON_TYPE_MASK) == BUTTON_GROUPBOX;
}

// The group box whose frame holds the centre of a control, or null.
const TemplateControl* group_of(const TemplateControl& t) {
    if (is_group(t)) return nullptr;
    const QPoint centre = qt_control_rect(t.id).center();
    for (const TemplateControl& g : template_controls)
        if (is_group(g) && qt_control_rect(g.id).contains(centre)) return &g;
    return nullptr;
}

// How far a group's controls reach above its frame, in pixels.
int lift_of(const TemplateControl& group) {
    int lift = 0;
    for (const TemplateControl& c : template_controls)
        if (group_of(c) == &group) lift = std::max(lift, qt_control_rect(group.id).top() - qt_control_rect(c.id).top());
    return lift;
}

// The logo at a screen's pixel ratio. A high-density screen gets the
// double-size artwork: the bitmap scaled up looks soft beside the text.
QPixmap logo_for(qreal ratio) {
    QPixmap logo(QStringLiteral(":/setup/logo.bmp"));
    QPixmap sharp = ratio > 1 ? QPixmap(QStringLiteral(":/setup/logo@2x.png")) : QPixmap();
    if (logo.isNull() || sharp.isNull()) return logo;
    const QSize pixels = (QSizeF(logo.size()) * ratio).toSize();
    if (sharp.size() != pixels) sharp = sharp.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    sharp.setDevicePixelRatio(ratio);
    return sharp;
}

// A push button or push-like check box. Once the keyboard has moved the
// focus, the focused one shows a dotted rectangle inside its frame, as on
// Windows: Fusion's own mark, a blue outline, is the default button's too.
class HostButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override {
        QPushButton::paintEvent(event);
        if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange)) return;
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(FOCUS_INSET, FOCUS_INSET, -FOCUS_INSET - 1, -FOCUS_INSET - 1));
    }

private:
    static constexpr int FOCUS_INSET = 3;
};

class HostDialog;

// A group box drawn as the Windows one: an etched frame whose top edge runs
// through the middle of the title, the title on the dialog's background.
// The title keeps its leading blanks, under which a title check box may lie.
// The box holds its controls; it reaches `lift` pixels above its frame for a
// title check box that starts above it (IDC_SOUND).
class GroupFrame final : public QGroupBox {
public:
    GroupFrame(QWidget* parent, int lift) : QGroupBox(parent), lift_(lift) {}


    void set_caption(const QString& shown) {
        shown_ = shown;
        setTitle(escaped_for_qt(shown));
        // Read without the blanks; the check box lying on the frame's top edge
        // (a title check box, with no caption of its own) carries the title.
        setAccessibleName(shown.trimmed());
        for (QAbstractButton* b : findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
            if (b->y() < lift_ + frame_top()) b->setAccessibleName(shown.trimmed());
        update();
    }

    // Where the title's text begins after its leading blanks, and its width.
    int text_x() const {
        const QFontMetrics fm(font());
        const int blank = std::max(fm.horizontalAdvance(QLatin1Char(' ')), TEMPLATE_BLANK_PIXELS);
        return GROUP_TITLE_X + static_cast<int>(leading_blanks()) * blank;
    }
    int text_width() const { return QFontMetrics(font()).horizontalAdvance(shown_.mid(leading_blanks())); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.translate(0, lift_);
        const QFontMetrics fm(font());
        const QRect frame = QRect(0, 0, width(), height() - lift_).adjusted(0, frame_top(), 0, 0);
        const QPalette& pal = palette();
        p.setPen(pal.color(QPalette::Mid));
        p.drawRect(frame.adjusted(0, 0, -2, -2));
        p.setPen(pal.color(QPalette::Light));
        p.drawRect(frame.adjusted(1, 1, -1, -1));
        if (shown_.isEmpty()) return;
        const int x = text_x();
        p.fillRect(QRect(GROUP_TITLE_X - 1, 0, x - GROUP_TITLE_X + text_width() + 2, fm.height()),
                   pal.color(QPalette::Window));
        p.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        p.drawText(QPoint(x, fm.ascent()), shown_.mid(leading_blanks()));
    }

private:
    int frame_top() const { return std::max(0, QFontMetrics(font()).height() / 2 - 1); }
    qsizetype leading_blanks() const {
        qsizetype n = 0;
        while (n < shown_.size() && shown_[n] == QLatin1Char(' ')) ++n;
        return n;
    }

    int lift_;
    QString shown_;
};

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
    void mark_entry_in_list() const {
        view()->selectionModel()->setCurrentIndex(model()->index(currentIndex(), modelColumn(), rootModelIndex()),
                                                  QItemSelectionModel::ClearAndSelect);
    }
    int32_t selection() const { return typed_away_ ? CB_ERR : currentIndex(); }

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
    enum class ListState { closed, open, closing };

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

// A list as a screen reader meets it. Qt names a list on Linux after its
// entry, which leaves an empty list nameless and its label unread. Here the
// name is its label's (the label whose buddy it is), or its group box's for a
// list without one; the entry is its value and the selected row of its first
// child, the open list, where a screen reader looks for it. The edit field is
// the second child; the actions open and close the list.
class ListAccessible final : public QAccessibleWidget {
public:
    explicit ListAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    static QAccessibleInterface* make(const QString&, QObject* object) {
        auto* list = dynamic_cast<HostCombo*>(object);
        return list ? new ListAccessible(list) : nullptr;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return list()->currentText();
        if (t == QAccessible::Name)
            for (const auto& [label, relation] : relations(QAccessible::Label))
                if (QString name = label->text(QAccessible::Name); !name.isEmpty()) return name;
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = list()->view()->isVisible();
        s.editable = list()->isEditable();
        return s;
    }
    int childCount() const override { return list()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        QWidget* w = index == 0 ? static_cast<QWidget*>(list()->view()) : index == 1 ? list()->lineEdit() : nullptr;
        return w ? QAccessible::queryAccessibleInterface(w) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* c) const override {
        for (int i = 0; i < childCount(); ++i)
            if (child(i) == c) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QLineEdit* edit = list()->lineEdit();
        return edit && QRect(edit->mapToGlobal(QPoint()), edit->size()).contains(x, y) ? child(1) : nullptr;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction()) return;
        if (list()->view()->isVisible())
            list()->hidePopup();
        else
            list()->showPopup();
    }

private:
    QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
};

// IDD_SETUP. Commands reach the procedure only for what the player does, one
// at a time; EndDialog takes effect once the procedure has returned.
class HostDialog final : public QDialog {
public:
    HostDialog();

    QWidget* control(int32_t id) const {
        for (size_t i = 0; i < template_control_count; ++i)
            if (template_controls[i].id == id) return controls_[i];
        return nullptr;
    }

    void initialise() {
        if (initialised_) return;
        initialised_ = true;
        dispatch(WM_INITDIALOG, 0, 0);
    }

    void notify(int32_t id, uint32_t code) {
        // A command that arises while the procedure runs (focus moving when a
        // control is disabled or a message box opens, a list closing) is not
        // the player's: the procedure is never re-entered.
        if (!initialised_ || ended_ || dispatching_) return;
        const uintptr_t wparam = (static_cast<uintptr_t>(code & 0xFFFFu) << 16) | (static_cast<uint32_t>(id) & 0xFFFFu);
        dispatch(WM_COMMAND, wparam, reinterpret_cast<intptr_t>(static_cast<void*>(control(id))));
    }

    void end(intptr_t result) {
        ended_ = true;
        result_ = result;
        if (!dispatching_) finish();
    }

    bool ended() const { return ended_; }
    intptr_t end_result() const { return result_; }

    // What lies wholly outside the client area (the folded band) is hidden: a
    // screen reader then reports it not showing, and Tab passes it by.
    void show_controls_within(const QSize& client) {
        for (QWidget* w : controls_)
            if (w->parentWidget() == this) w->setVisible(QRect(QPoint(), client).intersects(w->geometry()));
    }

    // Esc and QDialog's own paths: the procedure decides, as for "Exit".
    void reject() override { notify(IDCANCEL, NOTIFY_CLICKED); }
    void accept() override { notify(IDOK, NOTIFY_CLICKED); }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (finishing_) {
            event->accept();
            return;
        }
        // The close box is "Exit"; the procedure may keep the dialog open.
        event->ignore();
        notify(IDCANCEL, NOTIFY_CLICKED);
    }

private:
    void dispatch(uint32_t message, uintptr_t wparam, intptr_t lparam) {
        QPointer<HostDialog> alive(this);
        dispatching_ = true;
        setup_dialog_proc(static_cast<QWidget*>(this), message, wparam, lparam);
        if (!alive) return;
        dispatching_ = false;
        if (ended_) finish();
    }

    void finish() {
        if (finishing_) {
            setResult(static_cast<int>(result_));
            return;
        }
        finishing_ = true;
        done(static_cast<int>(result_));
    }

    QWidget* create_control(const TemplateControl& t, QWidget* parent);

    std::array<QWidget*, template_control_count> controls_{};
    bool initialised_ = false;
    bool dispatching_ = false;
    bool ended_ = false;
    bool finishing_ = false;
    intptr_t result_ = 0;
};

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

HostDialog::HostDialog() {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromUtf8(SETUP_DIALOG_TITLE));
    setFont(qt_dialog_font());
    setWindowModality(Qt::ApplicationModal);
    [[maybe_unused]] static const bool lists_named = (QAccessible::installFactory(ListAccessible::make), true);
    setFixedSize(qt_dialog_x(SETUP_DIALOG_W), qt_dialog_y(SETUP_DIALOG_H));

    // Qt stacks later siblings on top and chains keyboard focus in the order
    // of creation. A group box holds its controls, so a screen reader finds
    // them inside it.
    QLabel* label = nullptr;
    for (const int32_t id : READING_ORDER) {
        const auto i = static_cast<size_t>(find_template_control(id) - template_controls);
        const TemplateControl* group = group_of(template_controls[i]);
        controls_[i] = create_control(template_controls[i], group ? control(group->id) : this);
        // A label names the list that follows it.
        if (auto* list = dynamic_cast<HostCombo*>(controls_[i]); list && label) label->setBuddy(list);
        label = qobject_cast<QLabel*>(controls_[i]);
    }
    for (const auto& [id, name] : UNCAPTIONED_NAMES) control(id)->setAccessibleName(QString::fromUtf8(name));

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
    const QPoint origin = parent == this ? QPoint() : parent->pos();
    w->setGeometry(qt_control_rect(t.id).adjusted(0, is_group(t) ? -lift_of(t) : 0, 0, 0).translated(-origin));
    w->setEnabled((t.style & STYLE_DISABLED) == 0);
    if (hit_transparent) w->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Everything a player changes takes Tab; the read-only fields only a click.
    auto* edit = qobject_cast<QLineEdit*>(w);
    w->setFocusPolicy(!focusable ? Qt::NoFocus : edit && edit->isReadOnly() ? Qt::ClickFocus : Qt::StrongFocus);
    return w;
}

// ---------------------------------------------------------------- handles

QWidget* widget_of(HostWindow handle) { return static_cast<QWidget*>(handle); }
HostWindow handle_of(QWidget* widget) { return static_cast<void*>(widget); }
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
    QMessageBox box(owner ? widget_of(owner) : nullptr);
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
        const QSize client(std::max(0, width - extra_w), std::max(0, height - extra_h));
        w->setFixedSize(client);
        if (HostDialog* d = dialog_of(window)) d->show_controls_within(client);
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

QFont qt_dialog_font() {
    QFont font(QString::fromLatin1(QT_DIALOG_FONT_FAMILY));
    font.setPixelSize(QT_DIALOG_FONT_PIXELS);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

int qt_dialog_x(int dialog_units) { return mul_div(dialog_units, BASE_UNIT_X, 4); }
int qt_dialog_y(int dialog_units) { return mul_div(dialog_units, BASE_UNIT_Y, 8); }

QRect qt_control_rect(int32_t id) {
    const TemplateControl* t = find_template_control(id);
    if (!t) return QRect();
    const bool combo = std::strcmp(t->class_name, "COMBOBOX") == 0;
    return QRect(qt_dialog_x(t->x), qt_dialog_y(t->y), qt_dialog_x(t->w),
                 combo ? QT_COMBO_FIELD_HEIGHT : qt_dialog_y(t->h));
}

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
