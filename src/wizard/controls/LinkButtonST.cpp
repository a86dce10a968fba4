#include "wizard/controls/LinkButtonST.h"

#include <QPainter>

namespace CONTROL {

CLinkButtonST::CLinkButtonST(QWidget* parent) : CButtonST(parent)
{
    setCursor(Qt::PointingHandCursor);
}

CLinkButtonST::~CLinkButtonST() = default;

int CLinkButtonST::FittedWidth(int textWidth) const
{
    return textWidth + 4;
}

void CLinkButtonST::DrawItem(QPainter& painter)
{
    painter.fillRect(rect(), normalBackground.Get());
    if (text().isEmpty())
        return;
    const QSize extent = TextExtent(text());
    QColor caption = accent;
    QColor back = normalBackground;
    int underline = -1;  // row of the underline, none when negative
    int offset = 0;
    switch (State()) {
    case DrawState::Disabled:
        caption = disabledText;
        back = disabledBackground;
        break;
    case DrawState::Pressed:
        back = pressedBackground;
        underline = height() - 1;
        offset = 1;
        break;
    case DrawState::Hovered:
        back = hoverBackground;
        underline = height() - 2;
        break;
    case DrawState::Normal:
        break;
    }
    if (underline >= 0)
        painter.fillRect(0, underline, extent.width() + 2, 1, accent.Get());
    if (showText)
        DrawOpaqueText(painter, 2, (height() - extent.height()) / 2 + offset, text(), caption, back);
}

}  // namespace CONTROL
