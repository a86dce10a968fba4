// The wizard's check box: a square outline, the mark "√" when checked and the
// caption to its right. The mark changes when the left button goes down, so
// the dialog's click handler already sees the new state.
#pragma once

#include "wizard/controls/ButtonST.h"

#include <cstdint>

namespace CONTROL {

class CCheckButtonST : public CButtonST {
    Q_OBJECT
public:
    explicit CCheckButtonST(QWidget* parent = nullptr);
    ~CCheckButtonST() override;

    // Stores the flag, repaints and returns the previous flag.
    std::uint8_t SetCheck(std::uint8_t flag);

    CRepainted<std::uint8_t> checked;

    static QString Mark() { return QStringLiteral("√"); }

protected:
    void DrawItem(QPainter& painter) override;
    // Caption width + height + 2: the square sits left of the caption.
    int FittedWidth(int textWidth) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace CONTROL
