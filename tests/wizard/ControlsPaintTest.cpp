// The skinned controls rendered to images: colours of background, border and
// caption per class and state at known pixels, progress fills, fitted widths,
// and the pointer tracking that decides the hovered state.
#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "wizard/WidgetTestSupport.h"
#include "wizard/controls/ButtonST.h"
#include "wizard/controls/CheckButtonST.h"
#include "wizard/controls/FloatEdit.h"
#include "wizard/controls/LinkButtonST.h"
#include "wizard/controls/ProGressButtonST.h"
#include "wizard/controls/TextButtonST.h"

#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using CONTROL::CButtonST;

// A caption of solid blocks: every pixel inside a glyph has the caption colour.
const QString kBlocks = QStringLiteral("██");
const QColor kNormalBack(32, 32, 32);
const QColor kHoverBack(64, 64, 64);
const QColor kPressedBack(192, 0, 0);
const QColor kNormalText(227, 227, 227);
const QColor kDisabledText(128, 128, 128);
const QColor kAccent(51, 153, 255);
const QColor kNormalBorder(227, 227, 227);
const QColor kDisabledBorder(128, 128, 128);
// Set on every control so that active and normal captions differ.
const QColor kActiveText(255, 255, 0);

QFont TestFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(16);
    return font;
}

enum class Kind { Button, Check, Link, Label, Progress };

std::unique_ptr<CButtonST> MakeControl(Kind kind)
{
    std::unique_ptr<CButtonST> control;
    switch (kind) {
    case Kind::Button:
        control = std::make_unique<CButtonST>();
        break;
    case Kind::Check:
        control = std::make_unique<CONTROL::CCheckButtonST>();
        break;
    case Kind::Link:
        control = std::make_unique<CONTROL::CLinkButtonST>();
        break;
    case Kind::Label:
        control = std::make_unique<CONTROL::CTextButtonST>();
        break;
    case Kind::Progress:
        control = std::make_unique<CONTROL::CProGressButtonST>();
        break;
    }
    control->setFont(TestFont());
    control->resize(140, 40);
    control->activeText = kActiveText;
    control->setText(kBlocks);
    return control;
}

QImage Render(QWidget& control)
{
    QImage image(control.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    control.render(&image);
    return image;
}

struct State {
    bool disabled = false;
    bool pressed = false;
    bool hovered = false;
    bool checked = false;
};

void Apply(CButtonST& control, const State& state)
{
    control.setEnabled(!state.disabled);
    control.setDown(state.pressed);
    control.hovered = state.hovered ? 1 : 0;
    if (auto* box = dynamic_cast<CONTROL::CCheckButtonST*>(&control))
        box->checked = state.checked ? 1 : 0;
}

// The caption's cell: where the text of the class starts for a given state.
QPoint CaptionOrigin(Kind kind, const CButtonST& control, bool pressed)
{
    const QFontMetrics metrics(control.font());
    const int w = metrics.horizontalAdvance(kBlocks);
    const int h = metrics.height();
    const int offset = pressed ? 1 : 0;
    switch (kind) {
    case Kind::Button:
        return {(control.width() - w) / 2 + offset, (control.height() - h) / 2 + offset};
    case Kind::Check:
        return {control.height() + 1, (control.height() - h) / 2};
    case Kind::Link:
        return {2, (control.height() - h) / 2 + offset};
    case Kind::Label:
    case Kind::Progress:
        return {0, (control.height() - h) / 2};
    }
    return {};
}

struct PaintCase {
    const char* name;
    Kind kind;
    State state;
    QColor background;              // at (3, 3) for buttons, right of the caption otherwise
    std::optional<QColor> border;   // on all four edges (buttons) or the square's left side
    std::optional<QColor> caption;  // inside the caption's first glyph; none: not drawn
    int underlineRow = -1;          // link underline row, -1: none
};

void PrintTo(const PaintCase& c, std::ostream* os)
{
    *os << c.name;
}

class ControlPaint : public testing::TestWithParam<PaintCase> {
protected:
    void SetUp() override { TESTS::WidgetApplication(); }
};

std::string Rgb(QRgb rgb)
{
    return QColor(rgb).name().toStdString();
}

#define EXPECT_PIXEL(image, x, y, colour) \
    EXPECT_EQ(Rgb((image).pixel((x), (y))), QColor(colour).name().toStdString()) << "at " << (x) << "," << (y)

TEST_P(ControlPaint, ColoursAtKnownPixels)
{
    const PaintCase& c = GetParam();
    auto control = MakeControl(c.kind);
    Apply(*control, c.state);
    const QImage image = Render(*control);
    const int w = control->width();
    const int h = control->height();

    const QFontMetrics metrics(control->font());
    const QPoint origin = CaptionOrigin(c.kind, *control, c.state.pressed);
    const int glyph = metrics.horizontalAdvance(QStringLiteral("█"));

    if (c.kind == Kind::Button) {
        EXPECT_PIXEL(image, 3, 3, c.background);
        for (const QPoint p : {QPoint(0, h / 2), QPoint(w - 1, h / 2), QPoint(w / 2, 0), QPoint(w / 2, h - 1),
                               QPoint(0, 0), QPoint(w - 1, h - 1)})
            EXPECT_PIXEL(image, p.x(), p.y(), *c.border);
    } else {
        EXPECT_PIXEL(image, w - 3, 3, c.background);
    }
    if (c.kind == Kind::Check) {
        EXPECT_PIXEL(image, 0, h / 2, *c.border);
        EXPECT_PIXEL(image, h - 4, h / 2, *c.border);
        EXPECT_PIXEL(image, h / 2, 2, *c.border);
        EXPECT_PIXEL(image, h / 2, h - 2, *c.border);
        EXPECT_PIXEL(image, h / 2, 1, kNormalBack);
    }
    if (c.caption) {
        EXPECT_PIXEL(image, origin.x() + glyph / 2, origin.y() + metrics.ascent() - 2, *c.caption);
        // The block's left edge is where the caption starts.
        EXPECT_NE(Rgb(image.pixel(origin.x() + 1, origin.y() + metrics.ascent() - 2)),
                  Rgb(c.background.rgb()));
    } else {
        // Nothing but the background where the caption would be.
        EXPECT_PIXEL(image, origin.x() + glyph / 2, origin.y() + metrics.ascent() - 2, c.background);
    }
    if (c.kind == Kind::Link) {
        const int captionWidth = metrics.horizontalAdvance(kBlocks);
        for (int row : {h - 1, h - 2}) {
            const QColor expected = row == c.underlineRow ? kAccent : kNormalBack;
            EXPECT_PIXEL(image, 0, row, expected);
            EXPECT_PIXEL(image, captionWidth + 1, row, expected);
            EXPECT_PIXEL(image, captionWidth + 2, row, kNormalBack);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, ControlPaint,
    testing::Values(
        PaintCase{"ButtonNormal", Kind::Button, {}, kNormalBack, kNormalBorder, kNormalText, -1},
        PaintCase{"ButtonHovered", Kind::Button, {.hovered = true}, kHoverBack, kAccent, kActiveText, -1},
        PaintCase{"ButtonPressed",
                  Kind::Button,
                  {.pressed = true, .hovered = true},
                  kPressedBack,
                  kAccent,
                  kActiveText,
                  -1},
        PaintCase{"ButtonDisabledWhileHovered",
                  Kind::Button,
                  {.disabled = true, .hovered = true},
                  kNormalBack,
                  kDisabledBorder,
                  kDisabledText,
                  -1},
        PaintCase{"ButtonDisabledWhilePressed",
                  Kind::Button,
                  {.disabled = true, .pressed = true},
                  kNormalBack,
                  kDisabledBorder,
                  kDisabledText,
                  -1},
        PaintCase{"CheckUnchecked", Kind::Check, {}, kNormalBack, kNormalBorder, kNormalText, -1},
        PaintCase{
            "CheckHoveredUnchecked", Kind::Check, {.hovered = true}, kNormalBack, kAccent, kActiveText, -1},
        PaintCase{"CheckHoveredChecked",
                  Kind::Check,
                  {.hovered = true, .checked = true},
                  kNormalBack,
                  kNormalBorder,
                  kActiveText,
                  -1},
        PaintCase{
            "CheckChecked", Kind::Check, {.checked = true}, kNormalBack, kNormalBorder, kActiveText, -1},
        PaintCase{"LinkNormal", Kind::Link, {}, kNormalBack, {}, kAccent, -1},
        PaintCase{"LinkHovered", Kind::Link, {.hovered = true}, kNormalBack, {}, kAccent, 38},
        PaintCase{
            "LinkPressed", Kind::Link, {.pressed = true, .hovered = true}, kNormalBack, {}, kAccent, 39},
        PaintCase{"LinkDisabled",
                  Kind::Link,
                  {.disabled = true, .hovered = true},
                  kNormalBack,
                  {},
                  kDisabledText,
                  -1},
        PaintCase{"LabelNormal", Kind::Label, {}, kNormalBack, {}, kNormalText, -1},
        PaintCase{"LabelIgnoresStates",
                  Kind::Label,
                  {.pressed = true, .hovered = true},
                  kNormalBack,
                  {},
                  kNormalText,
                  -1},
        PaintCase{"ProgressShowsNoText", Kind::Progress, {}, kNormalBack, {}, {}, -1}),
    TESTS::CaseName());

TEST(ControlPaintCells, CaptionsAreDrawnOnOpaqueCells)
{
    TESTS::WidgetApplication();
    // A caption cell is filled with the state's background, also where no glyph is.
    const struct {
        Kind kind;
        State state;
        QColor cell;
    } cases[] = {
        {Kind::Button, {.hovered = true}, kHoverBack},
        {Kind::Link, {.hovered = true}, kHoverBack},
        {Kind::Link, {.pressed = true, .hovered = true}, kPressedBack},
    };
    for (const auto& c : cases) {
        auto control = MakeControl(c.kind);
        control->setText(QStringLiteral("  "));
        control->normalBackground = QColor(0, 80, 0);
        Apply(*control, c.state);
        const QImage image = Render(*control);
        const QPoint origin = CaptionOrigin(c.kind, *control, c.state.pressed);
        EXPECT_PIXEL(image, origin.x() + 3, origin.y() + 3, c.cell);
    }
}

TEST(ControlPaintCells, ShowTextOffDrawsOnlyBackgroundAndFrame)
{
    TESTS::WidgetApplication();
    for (Kind kind : {Kind::Button, Kind::Check, Kind::Link, Kind::Label}) {
        auto control = MakeControl(kind);
        control->showText = false;
        auto* box = dynamic_cast<CONTROL::CCheckButtonST*>(control.get());
        if (box)
            box->SetCheck(1);
        const QImage image = Render(*control);
        for (int y = 3; y < control->height() - 3; ++y)
            for (int x = control->height() - 2; x < control->width() - 1; ++x)
                ASSERT_EQ(Rgb(image.pixel(x, y)), Rgb(kNormalBack.rgb()))
                    << int(kind) << " at " << x << "," << y;
        if (box) {
            // Neither caption nor mark in the square.
            for (int y = 3; y < control->height() - 2; ++y)
                for (int x = 1; x < control->height() - 4; ++x)
                    ASSERT_EQ(Rgb(image.pixel(x, y)), Rgb(kNormalBack.rgb()));
        }
    }
}

TEST(ControlPaintCells, CheckMarkFollowsTheCheckedFlag)
{
    TESTS::WidgetApplication();
    CONTROL::CCheckButtonST box;
    box.setFont(TestFont());
    box.resize(200, 25);
    box.setText(QStringLiteral("box"));
    auto markPixels = [&] {
        const QImage image = Render(box);
        int count = 0;
        for (int y = 3; y < box.height() - 2; ++y)
            for (int x = 1; x < box.height() - 4; ++x)
                count += image.pixel(x, y) != kNormalBack.rgb();
        return count;
    };
    EXPECT_EQ(markPixels(), 0);
    EXPECT_EQ(box.SetCheck(1), 0);
    EXPECT_GT(markPixels(), 5);
    EXPECT_EQ(box.SetCheck(0), 1);
    EXPECT_EQ(markPixels(), 0);
    // An empty caption shows no mark either.
    box.SetText(QString(), false);
    box.SetCheck(1);
    EXPECT_EQ(markPixels(), 0);
}

struct FillCase {
    int position;
    int range;
    int right;  // exclusive right edge of the fill in a 104-pixel-wide bar
};

class ProgressFill : public testing::TestWithParam<FillCase> {};

TEST_P(ProgressFill, FillsToThePositionRoundedToTheNearestPixel)
{
    TESTS::WidgetApplication();
    CONTROL::CProGressButtonST bar;
    bar.resize(104, 21);
    bar.range = GetParam().range;
    bar.position = GetParam().position;
    EXPECT_EQ(bar.FillRight(), GetParam().right);
    const QImage image = Render(bar);
    for (int x = 0; x < bar.width(); ++x) {
        QColor expected = kNormalBack;
        if (x == 0 || x == bar.width() - 1)
            expected = kNormalBorder;
        else if (x >= 2 && x < GetParam().right)
            expected = kAccent;
        ASSERT_EQ(Rgb(image.pixel(x, 10)), expected.name().toStdString()) << "x " << x;
    }
    // The frame on top and bottom, one background row inside it.
    EXPECT_PIXEL(image, 50, 0, kNormalBorder);
    EXPECT_PIXEL(image, 50, 20, kNormalBorder);
    EXPECT_PIXEL(image, 50, 1, kNormalBack);
    EXPECT_PIXEL(image, 50, 19, kNormalBack);
}

INSTANTIATE_TEST_SUITE_P(Positions, ProgressFill,
                         testing::Values(FillCase{0, 100, 2}, FillCase{50, 100, 52}, FillCase{100, 100, 102},
                                         FillCase{150, 100, 103}, FillCase{50, 0, 2}, FillCase{1, 3, 35},
                                         FillCase{1, 200, 3}, FillCase{-20, 100, 2}));

TEST(ControlText, FittedWidthsPerClass)
{
    TESTS::WidgetApplication();
    QFont measuring = TestFont();
    measuring.setPixelSize(30);
    const QString caption = QStringLiteral("接受 Tessaly 的");
    const int own = QFontMetrics(TestFont()).horizontalAdvance(caption);
    const int wide = QFontMetrics(measuring).horizontalAdvance(caption);
    const struct {
        Kind kind;
        int extra;  // added to the caption width; the check box adds its height + 2
    } cases[] = {
        {Kind::Button, 0}, {Kind::Check, 25 + 2}, {Kind::Link, 4}, {Kind::Label, 0}, {Kind::Progress, 0}};
    for (const auto& c : cases) {
        auto control = MakeControl(c.kind);
        control->setGeometry(10, 20, 300, 25);
        control->SetText(caption, true);
        EXPECT_EQ(control->geometry(), QRect(10, 20, own + c.extra, 25)) << int(c.kind);
        control->captionFont = &measuring;
        control->SetText(caption, true);
        EXPECT_EQ(control->width(), wide + c.extra) << int(c.kind);
        control->SetText(QStringLiteral("x"), false);
        EXPECT_EQ(control->width(), wide + c.extra) << int(c.kind);
        EXPECT_EQ(control->text(), QStringLiteral("x"));
    }
}

TEST(ControlMembers, EveryChangeAsksForARepaint)
{
    TESTS::WidgetApplication();
    CONTROL::CProGressButtonST bar;
    bar.resize(100, 20);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    int paints = 0;
    struct Counter : QObject {
        int* paints;
        explicit Counter(int* p) : paints(p) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                ++*paints;
            return false;
        }
    } counter(&paints);
    bar.installEventFilter(&counter);
    const std::function<void()> changes[] = {
        [&] { bar.position = 40; },           [&] { bar.range = 50; },  [&] { bar.accent = Qt::red; },
        [&] { bar.normalBorder = Qt::blue; }, [&] { bar.hovered = 1; }, [&] { bar.showText = false; },
    };
    for (const auto& change : changes) {
        const int before = paints;
        change();
        QApplication::processEvents();
        EXPECT_GT(paints, before);
    }
}

// Pointer tracking, step by step: the events a control sees and its hovered flag after each.
enum class Pointer {
    Enter,
    MoveInside,
    Press,
    MoveOutsidePressed,
    MoveInsidePressed,
    Release,
    Leave,
    FocusOut
};

struct TrackingCase {
    const char* name;
    std::vector<std::pair<Pointer, int>> steps;  // event, hovered afterwards
};

void PrintTo(const TrackingCase& c, std::ostream* os)
{
    *os << c.name;
}

void Send(CButtonST& control, Pointer event)
{
    const QPointF inside(10, 10);
    const QPointF outside(-30, 10);
    auto mouse = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, control.mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&control, &e);
    };
    switch (event) {
    case Pointer::Enter: {
        QEnterEvent e(inside, inside, control.mapToGlobal(inside));
        QApplication::sendEvent(&control, &e);
        break;
    }
    case Pointer::MoveInside:
        mouse(QEvent::MouseMove, inside, Qt::NoButton, Qt::NoButton);
        break;
    case Pointer::Press:
        mouse(QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
        break;
    case Pointer::MoveOutsidePressed:
        mouse(QEvent::MouseMove, outside, Qt::NoButton, Qt::LeftButton);
        break;
    case Pointer::MoveInsidePressed:
        mouse(QEvent::MouseMove, inside, Qt::NoButton, Qt::LeftButton);
        break;
    case Pointer::Release:
        mouse(QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
        break;
    case Pointer::Leave: {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(&control, &e);
        break;
    }
    case Pointer::FocusOut: {
        QFocusEvent e(QEvent::FocusOut);
        QApplication::sendEvent(&control, &e);
        break;
    }
    }
}

class PointerTracking : public testing::TestWithParam<TrackingCase> {};

TEST_P(PointerTracking, HoveredFollowsThePointer)
{
    TESTS::WidgetApplication();
    CButtonST control;
    control.resize(100, 30);
    int index = 0;
    for (const auto& [event, hovered] : GetParam().steps) {
        Send(control, event);
        EXPECT_EQ(control.hovered.Get(), hovered) << "after step " << index;
        ++index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, PointerTracking,
    testing::Values(TrackingCase{"MoveOverAndLeave",
                                 {{Pointer::MoveInside, 1}, {Pointer::MoveInside, 1}, {Pointer::Leave, 0}}},
                    TrackingCase{"EnterCountsAsSeenOver",
                                 {{Pointer::Enter, 1}, {Pointer::Leave, 0}, {Pointer::Enter, 1}}},
                    TrackingCase{"PressWithoutHoverIsIgnored",
                                 {{Pointer::Press, 0}, {Pointer::MoveInsidePressed, 0}}},
                    TrackingCase{"DraggedOutWhilePressed",
                                 {{Pointer::MoveInside, 1},
                                  {Pointer::Press, 1},
                                  {Pointer::MoveOutsidePressed, 0},
                                  {Pointer::MoveInsidePressed, 0},
                                  {Pointer::Release, 0},
                                  {Pointer::MoveInside, 1}}},
                    TrackingCase{"FocusLossEndsHover",
                                 {{Pointer::MoveInside, 1},
                                  {Pointer::FocusOut, 0},
                                  {Pointer::MoveInside, 0},
                                  {Pointer::Leave, 0},
                                  {Pointer::MoveInside, 1}}}),
    TESTS::CaseName());

TEST(CheckBoxClick, MarkChangesOnButtonDownBeforeTheClickArrives)
{
    TESTS::WidgetApplication();
    CONTROL::CCheckButtonST box;
    box.resize(200, 25);
    std::vector<int> seenAtClick;
    QObject::connect(&box, &QAbstractButton::clicked, [&] { seenAtClick.push_back(box.checked); });
    for (int i = 0; i < 3; ++i) {
        Send(box, Pointer::MoveInside);
        Send(box, Pointer::Press);
        EXPECT_EQ(int(box.checked), (i + 1) % 2);
        EXPECT_TRUE(seenAtClick.size() == size_t(i));
        Send(box, Pointer::Release);
    }
    EXPECT_EQ(seenAtClick, (std::vector<int>{1, 0, 1}));
    // A press the tracking ignores (no hover) clicks without toggling.
    Send(box, Pointer::Leave);
    Send(box, Pointer::Press);
    Send(box, Pointer::Release);
    EXPECT_EQ(int(box.checked), 1);
}

TEST(ControlText, AnAmpersandInACaptionMakesNoShortcut)
{
    TESTS::WidgetApplication();
    // Product titles such as "Label Cloud & Print" reach check box captions.
    CONTROL::CCheckButtonST box;
    box.SetText(QStringLiteral("Label Cloud & Print"), false);
    EXPECT_TRUE(box.shortcut().isEmpty());
    EXPECT_EQ(box.text(), QStringLiteral("Label Cloud & Print"));
}

TEST(FloatEditPaint, FrameInTheBorderColourAroundTheTextArea)
{
    TESTS::WidgetApplication();
    CONTROL::CFloatEdit edit;
    edit.resize(120, 26);
    QPalette palette = edit.palette();
    palette.setColor(QPalette::Base, kNormalBack);
    edit.setPalette(palette);
    edit.borderColour = QColor(10, 200, 30);
    const QImage image = Render(edit);
    for (const QPoint p : {QPoint(0, 0), QPoint(119, 0), QPoint(0, 25), QPoint(119, 25), QPoint(60, 0),
                           QPoint(60, 25), QPoint(0, 13), QPoint(119, 13)})
        EXPECT_PIXEL(image, p.x(), p.y(), QColor(10, 200, 30));
    EXPECT_PIXEL(image, 1, 1, kNormalBack);
    EXPECT_PIXEL(image, 118, 24, kNormalBack);
}

}  // namespace
