#include "wizard/controls/TextButtonST.h"

#include <QPainter>

namespace CONTROL {

CTextButtonST::CTextButtonST(QWidget* parent) : CButtonST(parent) {}

CTextButtonST::~CTextButtonST() = default;

void CTextButtonST::DrawItem(QPainter& painter)
{
    painter.fillRect(rect(), normalBackground.Get());
    if (!showText || text().isEmpty())
        return;
    const QSize extent = TextExtent(text());
    DrawOpaqueText(painter, 0, (height() - extent.height()) / 2, text(), normalText, normalBackground);
}

}  // namespace CONTROL
