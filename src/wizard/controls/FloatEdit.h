// The folder box: an edit box on the dialog's dark background whose frame is
// one pixel in its border colour just outside the text area.
#pragma once

#include "wizard/controls/Repainted.h"

#include <QColor>
#include <QLineEdit>

namespace CONTROL {

class CFloatEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CFloatEdit(QWidget* parent = nullptr);
    ~CFloatEdit() override;

    CRepainted<QColor> borderColour;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace CONTROL
