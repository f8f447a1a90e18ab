// The dialog's and its message boxes' window frame: the flags that ask for a
// Windows dialog's title bar, and the title bar they draw themselves on Wayland.
// Where the compositor leaves decorations to the client (weston; GNOME's
// default), Qt draws its own, and its decorations ignore the window flags:
// minimise and maximise on a fixed-size dialog, a box's title cut short.
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>

#include "dialog_host_parts.h"
#include "wayland_platform.h"

namespace {

constexpr int ICON_PIXELS = 16;  // the smallest of the window's icons, drawn whole
constexpr int BAR_PADDING = 3;   // above and below the icon or the title, and beside the icon
constexpr qreal CROSS_SHARE = 0.3;  // the close mark's size against the bar's height

// A Windows dialog's title bar, the message boxes' too: close only, no
// minimise or maximise. On Wayland the window draws its own (TitleBar).
constexpr Qt::WindowFlags DIALOG_FRAME = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// The bar's close box: the window closes as a compositor's close would close
// it (the dialog asks as for "Exit"; a box closes unanswered).
class CloseBox final : public QAbstractButton {
public:
    explicit CloseBox(QWidget* parent) : QAbstractButton(parent) {
        setFocusPolicy(Qt::NoFocus);  // not in the Tab order: the keyboard has Esc
        setAccessibleName(QStringLiteral("Close"));
        connect(this, &QAbstractButton::clicked, this, [this] { window()->close(); });
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QPalette& pal = palette();
        if (isDown()) p.fillRect(rect(), pal.color(QPalette::Mid));
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(pal.color(QPalette::WindowText), std::max(1.0, height() / 14.0), Qt::SolidLine, Qt::RoundCap));
        const qreal half = height() * CROSS_SHARE / 2;
        const QPointF c = QRectF(rect()).center();
        p.drawLine(c + QPointF(-half, -half), c + QPointF(half, half));
        p.drawLine(c + QPointF(-half, half), c + QPointF(half, -half));
    }
};

}  // namespace

namespace qt_host {

bool draws_own_title_bar() { return is_wayland_platform(QGuiApplication::platformName().toStdString()); }

// Qt drops the frameless hint beside any of the title bar's hints.
Qt::WindowFlags dialog_frame() { return draws_own_title_bar() ? Qt::Dialog | Qt::FramelessWindowHint : DIALOG_FRAME; }

TitleBar::TitleBar(QWidget* window) : QWidget(window), close_(new CloseBox(this)) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_NoMousePropagation);
    window->installEventFilter(this);
    place();
}

int TitleBar::bar_height() const { return std::max(ICON_PIXELS, title_metrics().height()) + 2 * BAR_PADDING; }

int TitleBar::window_width_for_title() const {
    // The title is centred on the bar: both sides keep room for the wider
    // of the icon and the close box.
    return 2 * FRAME_PIXELS + 2 * bar_height() + title_metrics().horizontalAdvance(window()->windowTitle()) +
           2 * BAR_PADDING;
}

QFont TitleBar::title_font() const {
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

QFontMetrics TitleBar::title_metrics() const { return QFontMetrics(title_font()); }

void TitleBar::place() {
    QWidget* w = window();
    const int h = bar_height();
    // The bar and the frame come off the window's contents: a layout, and
    // the dialog's client area, keep to what is left.
    w->setContentsMargins(FRAME_PIXELS, FRAME_PIXELS + h, FRAME_PIXELS, FRAME_PIXELS);
    setGeometry(FRAME_PIXELS, FRAME_PIXELS, std::max(0, w->width() - 2 * FRAME_PIXELS), h);
    close_->setGeometry(width() - h, 0, h, h);
    setAccessibleName(w->windowTitle());
    update();
}

bool TitleBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window()) {
        switch (event->type()) {
            case QEvent::Resize:
            case QEvent::FontChange:
            case QEvent::WindowTitleChange: place(); break;
            case QEvent::ActivationChange:
            case QEvent::WindowIconChange: update(); break;
            default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TitleBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const int h = height();

    const QIcon icon = window()->windowIcon();
    const int icon_y = (h - ICON_PIXELS) / 2;
    if (!icon.isNull()) icon.paint(&p, QRect(icon_y, icon_y, ICON_PIXELS, ICON_PIXELS));  // centred in a square

    // Centred on the whole bar, between the icon's room and the close box's.
    const bool active = window()->isActiveWindow();
    p.setFont(title_font());
    p.setPen(pal.color(active ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect room = rect().adjusted(h + BAR_PADDING, 0, -h - BAR_PADDING, 0);
    p.drawText(room, Qt::AlignCenter,
               title_metrics().elidedText(window()->windowTitle(), Qt::ElideRight, std::max(0, room.width())));
}

void TitleBar::mousePressEvent(QMouseEvent* event) {
    // The compositor moves the window: a Wayland client cannot place itself.
    if (event->button() == Qt::LeftButton && window()->windowHandle() && window()->windowHandle()->startSystemMove())
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

void paint_window_frame(QWidget* window) {
    // The bar's rule too: drawn from the window, it meets the frame on whole
    // device pixels where the bar's own edges fall between them.
    QPainter p(window);
    DeviceLines lines(p);
    const QRect frame = lines.snapped(window->rect());
    const int w = lines.width();
    lines.outline(frame, window->palette().color(QPalette::Dark));
    for (const QObject* child : window->children())
        if (const auto* bar = dynamic_cast<const TitleBar*>(child)) {
            const int rule = lines.snapped(bar->geometry()).bottom() + 1 - w;
            lines.fill(QRect(frame.left() + w, rule, frame.width() - 2 * w, w), bar->palette().color(QPalette::Mid));
        }
}

}  // namespace qt_host
