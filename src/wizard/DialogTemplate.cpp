#include "wizard/DialogTemplate.h"

#include <array>

namespace WIZARD {

namespace {

constexpr int kWindowWidthUnits = 268;
constexpr int kWindowHeightUnits = 308;

const std::array<DialogItem, 16> kItems = {{
    {1005, ItemClass::Static, QRect(12, 15, 242, 41), u"静态"},
    {1002, ItemClass::Static, QRect(12, 57, 242, 79), u"静态"},
    {1003, ItemClass::Static, QRect(12, 139, 242, 12), u"静态"},
    {1000, ItemClass::Button, QRect(12, 153, 242, 11), u"100%"},
    {1009, ItemClass::Button, QRect(12, 221, 240, 13), u"创建桌面快捷方式"},
    {1004, ItemClass::Static, QRect(12, 192, 242, 12), u"静态"},
    {1001, ItemClass::Button, QRect(12, 206, 242, 11), u"100%"},
    {1010, ItemClass::Button, QRect(12, 241, 240, 13), u"创建桌面快捷方式"},
    {1, ItemClass::Button, QRect(50, 278, 79, 23), u"修复"},
    {2, ItemClass::Button, QRect(137, 278, 79, 23), u"取消"},
    {1006, ItemClass::Button, QRect(249, 2, 17, 17), u"X"},
    {1011, ItemClass::Button, QRect(12, 259, 50, 13), u"许可条款"},
    {1012, ItemClass::Button, QRect(66, 259, 50, 13), u"隐私声明"},
    {1013, ItemClass::Button, QRect(125, 259, 50, 13), u"和"},
    {1017, ItemClass::Edit, QRect(12, 120, 221, 15), u""},
    {1018, ItemClass::Button, QRect(234, 120, 20, 14), u"..."},
}};

// value * numerator / denominator, halves rounded away from zero (MulDiv).
int MulDiv(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

}  // namespace

std::span<const DialogItem> TemplateItems()
{
    return kItems;
}

const DialogItem* TemplateItem(int id)
{
    for (const DialogItem& item : kItems)
        if (item.id == id)
            return &item;
    return nullptr;
}

QRect MapDialogRect(const QRect& units)
{
    const int left = MulDiv(units.x(), 7, 4);
    const int top = MulDiv(units.y(), 15, 8);
    const int right = MulDiv(units.x() + units.width(), 7, 4);
    const int bottom = MulDiv(units.y() + units.height(), 15, 8);
    return QRect(left, top, right - left, bottom - top);
}

QSize TemplateWindowSize()
{
    return MapDialogRect(QRect(0, 0, kWindowWidthUnits, kWindowHeightUnits)).size();
}

QRect TemplateRect(int id)
{
    const DialogItem* item = TemplateItem(id);
    return item ? MapDialogRect(item->units) : QRect();
}

}  // namespace WIZARD
