// Message boxes as MessageBoxA shows them: the buttons and icon of its type,
// the first button the default, the answer as its ID value; wide enough for
// the title.
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>

#include "dialog_host_parts.h"

namespace qt_host {

namespace {

// Room a window manager's title bar takes from the title on either side (icon
// or menu on one, up to three buttons on the other, each at most this wide
// with its spacing), and the largest title font met there: a box is at least
// that much wider than its title.
constexpr int TITLE_BAR_BUTTON_PIXELS = 36;
constexpr int TITLE_BAR_FONT_PIXELS = 16;

// A message box sized for its text and buttons, and at least as wide as its
// title needs in the title bar: a short text under a long title left the
// title cut. On Wayland it draws its own title bar, as the dialog. Qt sizes
// the box again whenever it lays it out, so the width is checked after each
// event.
class HostMessageBox final : public QMessageBox {
public:
    // The bar is made once every member is: making it sends the box events,
    // which event() below reads the members in.
    explicit HostMessageBox(QWidget* parent) : QMessageBox(parent) {
        if (draws_own_title_bar()) title_bar_ = new TitleBar(this);
    }

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
        if (title_bar_) paint_window_frame(this);
    }

private:
    TitleBar* title_bar_ = nullptr;
    int title_width_ = 0;
    bool widened_ = false;
};

}  // namespace

int32_t message_box(HostWindow owner, const char* text, const char* caption, uint32_t type) {
    // The box belongs to the window that asks (the dialog, or the dialog of a
    // control), so that it opens over it as its transient child.
    QWidget* over = owner ? widget_of(owner)->window() : QApplication::activeModalWidget();
    HostMessageBox box(over);
    box.setWindowFlags(dialog_frame());
    box.setWindowTitle(from_host_text(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(from_host_text(text));
    switch (type & MB_ICONMASK) {
        case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
        case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
        case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
        case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
        default: box.setIcon(QMessageBox::NoIcon); break;
    }
    QMessageBox::StandardButtons buttons;
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
        case MB_YESNOCANCEL: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
        case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; break;
        case MB_RETRYCANCEL: buttons = QMessageBox::Retry | QMessageBox::Cancel; break;
        default: buttons = QMessageBox::Ok; break;
    }
    box.setStandardButtons(buttons);
    // The first button is the default, as MB_DEFBUTTON1.
    box.setDefaultButton((type & MB_TYPEMASK) == MB_YESNO || (type & MB_TYPEMASK) == MB_YESNOCANCEL
                             ? QMessageBox::Yes
                         : (type & MB_TYPEMASK) == MB_RETRYCANCEL ? QMessageBox::Retry
                                                                         : QMessageBox::Ok);
    box.exec();
    // Closing a Yes/No box without an answer counts as No: nothing is discarded.
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok: return IDOK;
        case QMessageBox::Cancel: return IDCANCEL;
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::Retry: return IDRETRY;
        case QMessageBox::No: return IDNO;
        default: break;
    }
    if (buttons & QMessageBox::Cancel) return IDCANCEL;
    if (buttons & QMessageBox::No) return IDNO;
    return IDOK;
}

}  // namespace qt_host
