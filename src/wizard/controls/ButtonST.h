// The flat, self-painted push button of the wizard and the base of its check
// boxes, links, labels and progress bars: the colour scheme, the caption flag
// and the pointer tracking shared by all of them.
#pragma once

#include "wizard/controls/Repainted.h"

#include <QAbstractButton>
#include <QColor>
#include <QFont>

class QPainter;

namespace CONTROL {

class CButtonST : public QAbstractButton {
    Q_OBJECT
public:
    // The state a paint routine draws, first match wins.
    enum class DrawState { Disabled, Pressed, Hovered, Normal };

    explicit CButtonST(QWidget* parent = nullptr);
    ~CButtonST() override;

    // Sets the caption; with fit, resizes the control to the caption measured
    // with captionFont (the control's own font when none is set), keeping position
    // and height. The width rule is the class's: FittedWidth.
    virtual void SetText(const QString& text, bool fit);

    // Measuring font for SetText; not owned.
    const QFont* captionFont = nullptr;
    CRepainted<QColor> hoverBackground;
    CRepainted<QColor> normalBackground;
    CRepainted<QColor> pressedBackground;
    CRepainted<QColor> disabledBackground;
    CRepainted<QColor> activeText;
    CRepainted<QColor> normalText;
    CRepainted<QColor> disabledText;
    CRepainted<QColor> accent;
    CRepainted<QColor> normalBorder;
    CRepainted<QColor> disabledBorder;
    CRepainted<bool> showText;
    // 1 while the control tracks the pointer over itself.
    CRepainted<int> hovered;

    DrawState State() const;

protected:
    // The class's paint routine over the whole control.
    virtual void DrawItem(QPainter& painter);
    // The width a fitted caption of textWidth pixels gives the control.
    virtual int FittedWidth(int textWidth) const;

    // Drawing helpers in the paint routines' terms.
    static void DrawFrame(QPainter& painter, const QRect& rect, const QColor& color);
    // Draws text with its top-left corner at (x, y) on a cell filled with back.
    void DrawOpaqueText(QPainter& painter, int x, int y, const QString& text, const QColor& color,
                        const QColor& back) const;
    QSize TextExtent(const QString& text) const;

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    // The pointer tracking after a pointer movement or a left button press:
    // pointer seen over the control (or held outside it while pressed).
    void TrackPointer(const QPoint& position, Qt::MouseButtons buttons);
    // The pointer was seen outside the control, with these buttons held.
    void PointerLeft(Qt::MouseButtons buttons);

private:
    bool m_tracking = false;
};

}  // namespace CONTROL
