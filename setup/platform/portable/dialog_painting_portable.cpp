// How the host draws what Fusion draws otherwise than Windows: group frames,
// the keyboard focus mark on buttons, the logo at the screen's density; its
// one-pixel lines on whole device pixels.
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "dialog_host_parts.h"

namespace {

// Windows draws a group box title 7 pixels in, over a gap in the frame one
// pixel wider on each side.
constexpr int GROUP_TITLE_X = 7;
// Leading blanks of a title keep at least the width they have in the
// template's font, so that a title check box laid over them clears the text.
constexpr int TEMPLATE_BLANK_PIXELS = 3;
constexpr int FOCUS_INSET = 3;  // the focus mark inside a button's frame

}  // namespace

namespace qt_host {

DeviceLines::DeviceLines(QPainter& painter)
    : painter_(painter),
      to_device_(painter.deviceTransform()),
      width_(std::max(1, static_cast<int>(std::floor(painter.device()->devicePixelRatioF() + 1e-6)))) {}

QRect DeviceLines::snapped(const QRect& logical) const {
    const QRectF d = to_device_.mapRect(QRectF(logical));
    const QPoint top_left(qRound(d.left()), qRound(d.top()));
    return QRect(top_left, QPoint(qRound(d.right()), qRound(d.bottom())) - QPoint(1, 1));
}

void DeviceLines::fill(const QRect& device, const QColor& color) {
    if (device.isEmpty()) return;
    // Whole device pixels back in the painter's coordinates: the fill covers
    // exactly those (edges between pixels, never blended).
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.fillRect(to_device_.inverted().mapRect(QRectF(device)), color);
    painter_.restore();
}

void DeviceLines::outline(const QRect& d, const QColor& color, bool dotted) {
    const int w = width_;
    if (!dotted) {
        fill(QRect(d.left(), d.top(), d.width(), w), color);
        fill(QRect(d.left(), d.bottom() + 1 - w, d.width(), w), color);
        fill(QRect(d.left(), d.top() + w, w, d.height() - 2 * w), color);
        fill(QRect(d.right() + 1 - w, d.top() + w, w, d.height() - 2 * w), color);
        return;
    }
    for (int x = d.left(); x + w <= d.right() + 1; x += 2 * w) {
        fill(QRect(x, d.top(), w, w), color);
        fill(QRect(x, d.bottom() + 1 - w, w, w), color);
    }
    for (int y = d.top() + 2 * w; y + w <= d.bottom() + 1 - w; y += 2 * w) {
        fill(QRect(d.left(), y, w, w), color);
        fill(QRect(d.right() + 1 - w, y, w, w), color);
    }
}

void HostButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange)) return;
    QPainter p(this);
    DeviceLines lines(p);
    lines.outline(lines.snapped(rect().adjusted(FOCUS_INSET, FOCUS_INSET, -FOCUS_INSET, -FOCUS_INSET)),
                  palette().color(QPalette::ButtonText), true);
}

void GroupFrame::set_caption(const QString& shown) {
    shown_ = shown;
    setTitle(escaped_for_qt(shown));
    // Read without the blanks; the check box lying on the frame's top edge
    // (a title check box, with no caption of its own) carries the title.
    setAccessibleName(shown.trimmed());
    for (QAbstractButton* b : findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
        if (b->y() < lift_ + frame_top()) b->setAccessibleName(shown.trimmed());
    update();
}

int GroupFrame::text_x() const {
    const QFontMetrics fm(font());
    const int blank = std::max(fm.horizontalAdvance(QLatin1Char(' ')), TEMPLATE_BLANK_PIXELS);
    return GROUP_TITLE_X + static_cast<int>(leading_blanks()) * blank;
}

int GroupFrame::text_width() const { return QFontMetrics(font()).horizontalAdvance(shown_.mid(leading_blanks())); }

void GroupFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.translate(0, lift_);
    const QFontMetrics fm(font());
    const QPalette& pal = palette();
    // Etched: a dark line with a light one inside it, and outside it on the
    // right and at the bottom.
    DeviceLines lines(p);
    const int w = lines.width();
    const QRect frame = lines.snapped(QRect(0, 0, width(), height() - lift_).adjusted(0, frame_top(), 0, 0));
    lines.outline(frame.adjusted(0, 0, -w, -w), pal.color(QPalette::Mid));
    lines.outline(frame.adjusted(w, w, 0, 0), pal.color(QPalette::Light));
    if (shown_.isEmpty()) return;
    const int x = text_x();
    lines.fill(lines.snapped(QRect(GROUP_TITLE_X - 1, 0, x - GROUP_TITLE_X + text_width() + 2, fm.height())),
               pal.color(QPalette::Window));
    p.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(QPoint(x, fm.ascent()), shown_.mid(leading_blanks()));
}

int GroupFrame::frame_top() const { return std::max(0, QFontMetrics(font()).height() / 2 - 1); }

qsizetype GroupFrame::leading_blanks() const {
    qsizetype n = 0;
    while (n < shown_.size() && shown_[n] == QLatin1Char(' ')) ++n;
    return n;
}

// A high-density screen gets the double-size artwork: the bitmap scaled up
// looks soft beside the text.
QPixmap logo_for(qreal ratio) {
    QPixmap logo(QStringLiteral(":/setup/logo.bmp"));
    QPixmap sharp = ratio > 1 ? QPixmap(QStringLiteral(":/setup/logo@2x.png")) : QPixmap();
    if (logo.isNull() || sharp.isNull()) return logo;
    const QSize pixels = (QSizeF(logo.size()) * ratio).toSize();
    if (sharp.size() != pixels) sharp = sharp.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    sharp.setDevicePixelRatio(ratio);
    return sharp;
}

}  // namespace qt_host
