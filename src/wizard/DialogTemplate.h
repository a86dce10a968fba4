// Dialog template 102: the wizard window and its sixteen controls in dialog
// units, and the mapping of dialog units to pixels (the units of a 9-point
// "MS Shell Dlg" at 96 dpi: 7/4 px across, 15/8 px down).
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <span>

namespace WIZARD {

enum class ItemClass { Static, Button, Edit };

struct DialogItem {
    int id;
    ItemClass itemClass;
    QRect units;  // x, y, width, height in dialog units
    const char16_t* text;
};

// The controls in template order.
std::span<const DialogItem> TemplateItems();
// The template item with this id; null when there is none.
const DialogItem* TemplateItem(int id);

// Maps a rectangle in dialog units to pixels as Windows does: each edge on
// its own, rounded half away from zero.
QRect MapDialogRect(const QRect& units);
// The window's size in pixels (268 x 308 units).
QSize TemplateWindowSize();
// A control's rectangle in pixels (client coordinates).
QRect TemplateRect(int id);

}  // namespace WIZARD
