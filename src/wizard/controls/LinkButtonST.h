// A hyperlink-style caption in the accent colour, underlined while the pointer
// is over it or it is pressed.
#pragma once

#include "wizard/controls/ButtonST.h"

namespace CONTROL {

class CLinkButtonST : public CButtonST {
    Q_OBJECT
public:
    explicit CLinkButtonST(QWidget* parent = nullptr);
    ~CLinkButtonST() override;

protected:
    void DrawItem(QPainter& painter) override;
    // Caption width + 4: two pixels of room on either side.
    int FittedWidth(int textWidth) const override;
};

}  // namespace CONTROL
