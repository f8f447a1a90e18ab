// How the host draws what Fusion draws otherwise than Windows: group frames,
// the keyboard focus mark on buttons, the logo at the screen's density.
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

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

void HostButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange)) return;
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
    p.drawRect(rect().adjusted(FOCUS_INSET, FOCUS_INSET, -FOCUS_INSET - 1, -FOCUS_INSET - 1));
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
