// A plain label drawn like the other skinned controls: caption at the left
// edge, vertically centred, no border and no states.
#pragma once

#include "wizard/controls/ButtonST.h"

namespace CONTROL {

class CTextButtonST : public CButtonST {
    Q_OBJECT
public:
    explicit CTextButtonST(QWidget* parent = nullptr);
    ~CTextButtonST() override;

protected:
    void DrawItem(QPainter& painter) override;
};

}  // namespace CONTROL
