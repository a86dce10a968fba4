#include "wizard/controls/CheckButtonST.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace CONTROL {

CCheckButtonST::CCheckButtonST(QWidget* parent) : CButtonST(parent), checked(this, 0) {}

CCheckButtonST::~CCheckButtonST() = default;

std::uint8_t CCheckButtonST::SetCheck(std::uint8_t flag)
{
    const std::uint8_t previous = checked;
    checked = flag;
    return previous;
}

int CCheckButtonST::FittedWidth(int textWidth) const
{
    return textWidth + height() + 2;
}

void CCheckButtonST::DrawItem(QPainter& painter)
{
    const int h = height();
    painter.fillRect(rect(), normalBackground.Get());

    // The square from (0, 2) to (h - 4, h - 2), both corners included.
    const QColor outline = !checked && hovered ? accent.Get() : normalBorder.Get();
    DrawFrame(painter, QRect(QPoint(0, 2), QPoint(h - 4, h - 2)), outline);

    if (!showText || text().isEmpty())
        return;
    const QColor caption = checked || hovered ? activeText.Get() : normalText.Get();
    if (checked) {
        const QSize mark = TextExtent(Mark());
        DrawOpaqueText(painter, (h - mark.width()) / 2 - 1, (h - mark.height()) / 2, Mark(), caption,
                       normalBackground);
    }
    const QSize extent = TextExtent(text());
    DrawOpaqueText(painter, h + 1, (h - extent.height()) / 2, text(), caption, normalBackground);
}

void CCheckButtonST::mousePressEvent(QMouseEvent* event)
{
    QAbstractButton::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    // A press that the tracking would not stop is one over the control.
    if (hovered)
        checked = checked ? 0 : 1;
    TrackPointer(event->position().toPoint(), event->buttons());
}

void CCheckButtonST::keyPressEvent(QKeyEvent* event)
{
    // The space bar clicks the box as the mouse does: the mark changes first.
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        checked = checked ? 0 : 1;
    CButtonST::keyPressEvent(event);
}

}  // namespace CONTROL
