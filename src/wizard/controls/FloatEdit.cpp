#include "wizard/controls/FloatEdit.h"

#include <QPainter>

namespace CONTROL {

CFloatEdit::CFloatEdit(QWidget* parent) : QLineEdit(parent), borderColour(this, QColor(227, 227, 227))
{
    // No frame of the style's own; the text area is the control less the
    // one-pixel border drawn below.
    setFrame(false);
    setTextMargins(1, 1, 1, 1);
}

CFloatEdit::~CFloatEdit() = default;

void CFloatEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    const QRect r = rect();
    const QColor colour = borderColour;
    painter.fillRect(r.left(), r.top(), r.width(), 1, colour);
    painter.fillRect(r.left(), r.bottom(), r.width(), 1, colour);
    painter.fillRect(r.left(), r.top(), 1, r.height(), colour);
    painter.fillRect(r.right(), r.top(), 1, r.height(), colour);
}

}  // namespace CONTROL
