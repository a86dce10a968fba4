#include "wizard/controls/ButtonST.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>

namespace CONTROL {

CButtonST::CButtonST(QWidget* parent)
    : QAbstractButton(parent),
      hoverBackground(this, QColor(64, 64, 64)),
      normalBackground(this, QColor(32, 32, 32)),
      pressedBackground(this, QColor(192, 0, 0)),
      disabledBackground(this, QColor(32, 32, 32)),
      activeText(this, QColor(227, 227, 227)),
      normalText(this, QColor(227, 227, 227)),
      disabledText(this, QColor(128, 128, 128)),
      accent(this, QColor(51, 153, 255)),
      normalBorder(this, QColor(227, 227, 227)),
      disabledBorder(this, QColor(128, 128, 128)),
      showText(this, true),
      hovered(this, 0)
{
    // Pointer movements arrive without a button held, as owner-drawn
    // buttons see them.
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CButtonST::~CButtonST() = default;

void CButtonST::SetText(const QString& text, bool fit)
{
    setText(text);
    // The caption is painted as it stands; an "&" in it names no shortcut.
    setShortcut(QKeySequence());
    if (fit) {
        const QFontMetrics metrics(captionFont ? *captionFont : QWidget::font());
        resize(FittedWidth(metrics.horizontalAdvance(text)), height());
    }
    update();
}

int CButtonST::FittedWidth(int textWidth) const
{
    return textWidth;
}

CButtonST::DrawState CButtonST::State() const
{
    if (!isEnabled())
        return DrawState::Disabled;
    if (isDown())
        return DrawState::Pressed;
    if (hovered)
        return DrawState::Hovered;
    return DrawState::Normal;
}

void CButtonST::DrawFrame(QPainter& painter, const QRect& rect, const QColor& color)
{
    // The four one-pixel edges of the rectangle.
    painter.fillRect(rect.left(), rect.top(), rect.width(), 1, color);
    painter.fillRect(rect.left(), rect.bottom(), rect.width(), 1, color);
    painter.fillRect(rect.left(), rect.top(), 1, rect.height(), color);
    painter.fillRect(rect.right(), rect.top(), 1, rect.height(), color);
}

QSize CButtonST::TextExtent(const QString& text) const
{
    const QFontMetrics metrics(QWidget::font());
    return {metrics.horizontalAdvance(text), metrics.height()};
}

void CButtonST::DrawOpaqueText(QPainter& painter, int x, int y, const QString& text, const QColor& color,
                               const QColor& back) const
{
    const QSize extent = TextExtent(text);
    painter.fillRect(x, y, extent.width(), extent.height(), back);
    painter.setPen(color);
    painter.setFont(QWidget::font());
    painter.drawText(QPoint(x, y + QFontMetrics(QWidget::font()).ascent()), text);
}

void CButtonST::DrawItem(QPainter& painter)
{
    QColor back = normalBackground;
    QColor border = normalBorder;
    QColor caption = normalText;
    const DrawState state = State();
    switch (state) {
    case DrawState::Disabled:
        back = disabledBackground;
        border = disabledBorder;
        caption = disabledText;
        break;
    case DrawState::Pressed:
        back = pressedBackground;
        border = accent;
        caption = activeText;
        break;
    case DrawState::Hovered:
        back = hoverBackground;
        border = accent;
        caption = activeText;
        break;
    case DrawState::Normal:
        break;
    }
    painter.fillRect(rect(), back);
    DrawFrame(painter, rect(), border);
    if (!showText || text().isEmpty())
        return;
    const QSize extent = TextExtent(text());
    const int offset = state == DrawState::Pressed ? 1 : 0;
    DrawOpaqueText(painter, (width() - extent.width()) / 2 + offset,
                   (height() - extent.height()) / 2 + offset, text(), caption, back);
}

void CButtonST::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawItem(painter);
}

void CButtonST::TrackPointer(const QPoint& position, Qt::MouseButtons buttons)
{
    if ((buttons & (Qt::LeftButton | Qt::RightButton)) && !hovered)
        return;
    if (!m_tracking) {
        m_tracking = true;
        hovered = 1;
        return;
    }
    if (rect().contains(position))
        return;
    PointerLeft(buttons);
}

void CButtonST::PointerLeft(Qt::MouseButtons buttons)
{
    if (hovered)
        hovered = 0;
    if (!(buttons & (Qt::LeftButton | Qt::RightButton)))
        m_tracking = false;
}

void CButtonST::mouseMoveEvent(QMouseEvent* event)
{
    QAbstractButton::mouseMoveEvent(event);
    TrackPointer(event->position().toPoint(), event->buttons());
}

void CButtonST::mousePressEvent(QMouseEvent* event)
{
    QAbstractButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        TrackPointer(event->position().toPoint(), event->buttons());
}

void CButtonST::mouseReleaseEvent(QMouseEvent* event)
{
    // The press's own pointer grab ends here; the hovered flag stays until the
    // pointer is next seen.
    QAbstractButton::mouseReleaseEvent(event);
    if (!(event->buttons() & (Qt::LeftButton | Qt::RightButton)))
        m_tracking = false;
}

void CButtonST::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    TrackPointer(event->position().toPoint(), QGuiApplication::mouseButtons());
}

void CButtonST::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    PointerLeft(QGuiApplication::mouseButtons());
}

void CButtonST::focusOutEvent(QFocusEvent* event)
{
    QAbstractButton::focusOutEvent(event);
    if (hovered)
        hovered = 0;
}

}  // namespace CONTROL
