// The wizard as a window: template geometry, names, fonts, caption, look and
// the two layout routines.
#include "support/CaseName.h"

#include "app/ModeTitle.h"
#include "common/TextFormat.h"
#include "wizard/DialogTemplate.h"
#include "wizard/WizardTestSupport.h"

#include <QFontInfo>
#include <QImage>
#include <QLineEdit>
#include <QRegularExpression>

namespace {

using TESTS::CTestWizard;
using TESTS::LoadSampleProduct;
using TESTS::WizardTest;

struct RectCase {
    const char* name;
    QRect rect;
};

// The template's rectangles in pixels (7/4 px per unit across, 15/8 px down,
// each edge rounded half away from zero).
const RectCase kTemplateRects[] = {
    {"titleLine_1005", QRect(21, 28, 424, 77)},    {"description_1002", QRect(21, 107, 424, 148)},
    {"stepLine_1003", QRect(21, 261, 424, 22)},    {"stepBar_1000", QRect(21, 287, 424, 21)},
    {"firstOption_1009", QRect(21, 414, 420, 25)}, {"overallLine_1004", QRect(21, 360, 424, 23)},
    {"overallBar_1001", QRect(21, 386, 424, 21)},  {"secondOption_1010", QRect(21, 452, 420, 24)},
    {"primaryButton_1", QRect(88, 521, 138, 43)},  {"secondaryButton_2", QRect(240, 521, 138, 43)},
    {"closeButton_1006", QRect(436, 4, 30, 32)},   {"licenceLink_1011", QRect(21, 486, 88, 24)},
    {"privacyLink_1012", QRect(116, 486, 87, 24)}, {"conjunctionLabel_1013", QRect(219, 486, 87, 24)},
    {"folderBox_1017", QRect(21, 225, 387, 28)},   {"browseButton_1018", QRect(410, 225, 35, 26)},
};

TEST(DialogTemplate, MapsUnitsToPixelsAsWindowsDoes)
{
    EXPECT_EQ(WIZARD::TemplateWindowSize(), QSize(469, 578));
    ASSERT_EQ(WIZARD::TemplateItems().size(), std::size(kTemplateRects));
    for (size_t i = 0; i < std::size(kTemplateRects); ++i) {
        const WIZARD::DialogItem& item = WIZARD::TemplateItems()[i];
        EXPECT_EQ(WIZARD::MapDialogRect(item.units), kTemplateRects[i].rect) << kTemplateRects[i].name;
        EXPECT_TRUE(QString::fromLatin1(kTemplateRects[i].name).endsWith(u'_' + QString::number(item.id)));
    }
}

TEST_F(WizardTest, ControlsSitAtTheirTemplateRectangles)
{
    // The repair page moves no control away from the template.
    CTestWizard& dlg = Open(RunMode::Repair);
    EXPECT_EQ(dlg.size(), QSize(469, 578));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    EXPECT_TRUE(dlg.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(dlg.windowIcon().isNull());
    int named = 0;
    for (const RectCase& c : kTemplateRects) {
        QWidget* control = TESTS::Control(dlg, c.name);
        ASSERT_NE(control, nullptr);
        ++named;
        if (QString::fromLatin1(c.name).startsWith(QStringLiteral("primary"))
            || QString::fromLatin1(c.name).startsWith(QStringLiteral("secondary"))) {
            EXPECT_EQ(control->size(), c.rect.size()) << c.name;
        } else {
            EXPECT_EQ(control->geometry(), c.rect) << c.name;
        }
    }
    EXPECT_EQ(dlg.ButtonGap(), 240 - 226);
}

TEST_F(WizardTest, FontsFollowTheSystemLanguage)
{
    const struct {
        quint16 lang;
        QStringList families;
    } cases[] = {
        {kLangEnglishUs, {}},
        {0x040C, {}},
        {kLangChinesePrc,
         {QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC")}},
        {kLangChineseTaiwan,
         {QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK TC")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CNorvexSetupDlg::FaceFamilies(c.lang), c.families) << c.lang;

    CTestWizard& dlg = Open(RunMode::Install);
    EXPECT_EQ(dlg.TitleFont().pixelSize(), 36);
    EXPECT_EQ(dlg.BodyFont().pixelSize(), 16);
    EXPECT_EQ(dlg.CloseFont().pixelSize(), 16);
    EXPECT_EQ(dlg.TitleFont().weight(), QFont::Normal);
    EXPECT_EQ(dlg.CloseFont().weight(), QFont::Bold);
    // Chinese text comes out of an installed Noto CJK face.
    EXPECT_TRUE(QFontInfo(dlg.BodyFont()).family().startsWith(QStringLiteral("Noto Sans CJK")))
        << QFontInfo(dlg.BodyFont()).family().toStdString();
    EXPECT_EQ(TESTS::Control(dlg, "description_1002")->font(), dlg.BodyFont());
    EXPECT_EQ(TESTS::Control(dlg, "closeButton_1006")->font(), dlg.CloseFont());
    EXPECT_EQ(TESTS::Control(dlg, "primaryButton_1")->font(), dlg.BodyFont());
}

TEST_F(WizardTest, TitleLineAndCaptionCarryTheProductTitle)
{
    const struct {
        quint16 lang;
        const char* caption;
    } cases[] = {
        {kLangChinesePrc, "Tessaly Label Cloud & Print - 安装程序"},
        {kLangChineseTaiwan, "Tessaly Label Cloud & Print - 安裝程式"},
        {kLangEnglishUs, "Tessaly Label Cloud & Print - Setup"},
    };
    for (const auto& c : cases) {
        SetSystemLanguageId(c.lang);
        CTestWizard& dlg = Open(RunMode::Install);
        EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(c.caption));
        EXPECT_EQ(Text("titleLine_1005"), QStringLiteral("Tessaly Label Cloud & Print"));
        // One "&", shown as it is written.
        EXPECT_TRUE(Text("description_1002")
                        .startsWith(ModeTitle(RunMode::Install, engine.Manifest.version.prog, false)));
        wizard.reset();
    }
}

// What a person sees of each named control: shown, enabled, text, checked.
QStringList ControlStates(const QWidget& dialog)
{
    QStringList states;
    for (const QWidget* w : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->objectName().isEmpty())
            continue;
        QString text;
        bool checked = false;
        if (const auto* label = qobject_cast<const QLabel*>(w))
            text = label->text();
        if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
            text = button->text();
            checked = button->isChecked();
        }
        if (const auto* edit = qobject_cast<const QLineEdit*>(w))
            text = edit->text();
        states << QStringLiteral("%1 hidden=%2 enabled=%3 checked=%4 [%5] %6")
                      .arg(w->objectName())
                      .arg(w->isHidden())
                      .arg(w->isEnabled())
                      .arg(checked)
                      .arg(text)
                      .arg(w->font().pixelSize());
    }
    states.sort();
    return states;
}

// Built while start-up still checks the package, the window shows nothing of
// the manifest; opened once the manifest is read, it is the same as one built
// afterwards, page, title and all.
TEST_F(WizardTest, PreparedBeforeTheManifestOpensAsOneBuiltAfterIt)
{
    for (const RunMode mode : {RunMode::Install, RunMode::Repair, RunMode::DoUninstall}) {
        CTestWizard prepared(engine, nullptr, nullptr, CNorvexSetupDlg::Opening::Later);
        EXPECT_EQ(prepared.windowTitle(), QString());
        EXPECT_EQ(prepared.findChild<QLabel*>(QStringLiteral("titleLine_1005"))->text(), QString());
        EXPECT_EQ(prepared.size(), QSize(469, 578));

        // Loads the manifest into the same engine, as start-up does.
        CTestWizard& built = Open(mode);
        prepared.Open();
        EXPECT_EQ(prepared.windowTitle(), built.windowTitle());
        // The free space may change between the two opens while other
        // programs write to the disk; every other figure must match.
        const QRegularExpression size(QStringLiteral("\\d+(\\.\\d)? (B|KB|MB|GB|TB|PB)"));
        EXPECT_EQ(ControlStates(prepared).replaceInStrings(size, QStringLiteral("# \\2")),
                  ControlStates(built).replaceInStrings(size, QStringLiteral("# \\2")))
            << "mode " << int(mode);
        wizard.reset();
    }
}

TEST_F(WizardTest, DarkBackgroundAndLightStatics)
{
    CTestWizard& dlg = Open(RunMode::Install);
    const QImage image = dlg.grab().toImage();
    // Background between the controls, and behind a static's text.
    for (const QPoint p : {QPoint(5, 5), QPoint(460, 300), QPoint(21 + 423, 107 + 140), QPoint(10, 570)})
        EXPECT_EQ(QColor(image.pixel(p)).name(), QStringLiteral("#202020")) << p.x() << "," << p.y();
    auto* description = TESTS::Control<QLabel>(dlg, "description_1002");
    EXPECT_EQ(description->palette().color(QPalette::WindowText), QColor(227, 227, 227));
    EXPECT_FALSE(description->autoFillBackground());
    // Somewhere in the description the text colour itself is drawn.
    bool textSeen = false;
    for (int y = 107; y < 130 && !textSeen; ++y)
        for (int x = 21; x < 300 && !textSeen; ++x)
            textSeen = QColor(image.pixel(x, y)) == QColor(227, 227, 227);
    EXPECT_TRUE(textSeen);
}

struct ButtonLayoutCase {
    const char* name;
    std::optional<QString> primary;
    std::optional<QString> secondary;
    std::optional<int> primaryX;    // none: hidden
    std::optional<int> secondaryX;  // none: hidden
};

void PrintTo(const ButtonLayoutCase& c, std::ostream* os)
{
    *os << c.name;
}

class ButtonLayout : public WizardTest, public testing::WithParamInterface<ButtonLayoutCase> {};

TEST_P(ButtonLayout, CentresTheButtonsShown)
{
    CTestWizard& dlg = Open(RunMode::Install);
    const ButtonLayoutCase& c = GetParam();
    dlg.LayoutButtons(c.primary, c.secondary);
    for (const auto& [name, x, caption] : {std::tuple{"primaryButton_1", c.primaryX, c.primary},
                                           std::tuple{"secondaryButton_2", c.secondaryX, c.secondary}}) {
        QWidget* button = TESTS::Control(dlg, name);
        EXPECT_EQ(button->isVisible(), x.has_value()) << name;
        if (x) {
            EXPECT_EQ(button->geometry(), QRect(*x, 521, 138, 43)) << name;
            EXPECT_EQ(Text(name), *caption);
        }
    }
}

// W 469, buttons 138 wide, gap 14: the pair starts at (469 - 14 - 276) / 2 = 89.
INSTANTIATE_TEST_SUITE_P(
    Captions, ButtonLayout,
    testing::Values(
        ButtonLayoutCase{"Both", QStringLiteral("继续"), QStringLiteral("取消"), 89, 89 + 138 + 14},
        ButtonLayoutCase{"PrimaryOnly", QStringLiteral("完成"), std::nullopt, 165, std::nullopt},
        ButtonLayoutCase{"SecondaryOnly", std::nullopt, QStringLiteral("取消"), std::nullopt, 165},
        ButtonLayoutCase{"Neither", std::nullopt, std::nullopt, std::nullopt, std::nullopt}),
    TESTS::CaseName());

TEST_F(WizardTest, LicenceLineFollowsTheFittedBox)
{
    for (const QString& title : {QStringLiteral("Tessaly Label Cloud & Print"), QStringLiteral("T"),
                                 QStringLiteral("Tessaly Label Cloud & Print Professional")}) {
        SCOPED_TRACE(title.toStdString());
        CTestWizard& dlg = Open(RunMode::Install);
        dlg.LayoutLicenceLine(title);
        QWidget* box = TESTS::Control(dlg, "secondOption_1010");
        const QFontMetrics metrics(dlg.BodyFont());
        const QString caption = QStringLiteral("接受 %1 的 ").arg(title);
        EXPECT_EQ(Text("secondOption_1010"), caption);
        const QRect r0 = box->geometry();
        EXPECT_EQ(r0, QRect(21, 452, metrics.horizontalAdvance(caption) + 24 + 2, 24));
        int x = r0.x() + r0.width();
        const struct {
            const char* name;
            const char* text;
            int extra;
        } line[] = {{"licenceLink_1011", "许可条款", 4},
                    {"conjunctionLabel_1013", " 和 ", 0},
                    {"privacyLink_1012", "隐私声明", 4}};
        for (const auto& l : line) {
            QWidget* control = TESTS::Control(dlg, l.name);
            EXPECT_EQ(Text(l.name), QString::fromUtf8(l.text));
            EXPECT_EQ(control->geometry(),
                      QRect(x, r0.y() + (r0.height() - 24) / 2,
                            metrics.horizontalAdvance(QString::fromUtf8(l.text)) + l.extra, 24))
                << l.name;
            x += control->width();
        }
        wizard.reset();
    }
}

TEST_F(WizardTest, LongTitleShrinksToFitItsLine)
{
    LoadSampleProduct(engine, RunMode::Install);
    engine.Manifest.version.prog =
        QStringLiteral("Tessaly Label Cloud & Print Professional Edition for Teams");
    CTestWizard dlg(engine);
    auto* title = TESTS::Control<QLabel>(dlg, "titleLine_1005");
    const QRect needed =
        QFontMetrics(title->font())
            .boundingRect(QRect(0, 0, title->width(), 100000), Qt::TextWordWrap, title->text());
    EXPECT_LE(needed.height(), title->height());
    EXPECT_LT(title->font().pixelSize(), 36);
}

}  // namespace
