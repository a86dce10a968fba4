// The wizard's progress bars: a frame and an accent fill for position out of
// range. The install steps write the position and repaint the bar themselves.
#pragma once

#include "wizard/controls/ButtonST.h"

#include <cstdint>

namespace CONTROL {

class CProGressButtonST : public CButtonST {
    Q_OBJECT
public:
    explicit CProGressButtonST(QWidget* parent = nullptr);
    ~CProGressButtonST() override;

    CRepainted<std::int32_t> range;
    CRepainted<std::int32_t> position;

    // The right edge (exclusive) of the filled part in control coordinates;
    // equal to the inner left edge when nothing is filled.
    int FillRight() const;

protected:
    void DrawItem(QPainter& painter) override;
};

}  // namespace CONTROL
