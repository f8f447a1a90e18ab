// The combo box as a Windows combo box notifies its dialog: the list opening,
// the selection changed before the list closing, the box and its open list
// as one for the focus, nothing for programmatic changes; and, as a
// CBS_DROPDOWN box, no selected entry once the player has typed.
#include <QAbstractItemView>
#include <QFocusEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVariant>
#include <QWheelEvent>
#include <algorithm>

#include "dialog_host_parts.h"

namespace {

constexpr int LIST_TEXT_MARGIN = 4;  // an open list's texts from either side, in pixels

}  // namespace

namespace qt_host {

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
    owner_->notify(id_, CBN_EDITCHANGE);
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
    owner_->notify(id_, CBN_CLOSEUP);
    report_focus();  // a click elsewhere that closed the list may have taken the focus
}

void HostCombo::showPopup() {
    list_closed();  // reopened before the last closing was reported
    owner_->notify(id_, CBN_DROPDOWN);
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
    owner_->notify(id_, within ? CBN_SETFOCUS : CBN_KILLFOCUS);
}

void HostCombo::focusInEvent(QFocusEvent* event) {
    QComboBox::focusInEvent(event);
    report_focus();
}

void HostCombo::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    report_focus();
}

}  // namespace qt_host
