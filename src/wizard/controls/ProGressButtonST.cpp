#include "wizard/controls/ProGressButtonST.h"

#include <QPainter>

#include <cstdlib>

namespace CONTROL {

namespace {

constexpr int kInset = 2;

// a * b / c rounded to the nearest integer, halves away from zero.
std::int64_t MulDivRounded(std::int64_t a, std::int64_t b, std::int64_t c)
{
    const std::int64_t product = a * b;
    const std::int64_t half = std::llabs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
    return negative ? -magnitude : magnitude;
}

}  // namespace

CProGressButtonST::CProGressButtonST(QWidget* parent) : CButtonST(parent), range(this, 100), position(this, 0)
{
}

CProGressButtonST::~CProGressButtonST() = default;

int CProGressButtonST::FillRight() const
{
    if (range == 0)
        return kInset;
    const std::int64_t right = kInset + MulDivRounded(width() - 2 * kInset, position, range);
    // Past the range the fill runs over the inner area's margin up to the frame.
    if (right > width() - 1)
        return width() - 1;
    return right < kInset ? kInset : static_cast<int>(right);
}

void CProGressButtonST::DrawItem(QPainter& painter)
{
    painter.fillRect(rect(), normalBackground.Get());
    const int right = FillRight();
    if (right > kInset)
        painter.fillRect(QRect(QPoint(kInset, kInset), QPoint(right - 1, height() - kInset - 1)),
                         accent.Get());
    DrawFrame(painter, rect(), normalBorder);
}

}  // namespace CONTROL
