// The wizard's window on a real X server: what reaches the screen.
#include "wizard/WizardTestSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

namespace {

using namespace TESTS;

class WizardOnX11 : public WizardTest {
protected:
    void SetUp() override
    {
        // The server xvfb-run started, not the offscreen platform of the other
        // widget tests.
        qputenv("QT_QPA_PLATFORM", "xcb");
        WizardTest::SetUp();
    }
};

QImage OnScreen(QWidget& window)
{
    return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// The window system's window and surface are made while start-up still checks
// the package; once shown, the screen holds the whole first page, not the
// surface as it was made.
TEST_F(WizardOnX11, APreparedWindowShowsItsWholeFirstPage)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    CTestWizard prepared(engine, nullptr, nullptr, CNorvexSetupDlg::Opening::Later);
    prepared.PrepareNativeWindow();
    LoadSampleProduct(engine, RunMode::Install);
    prepared.Open();
    prepared.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&prepared));

    const QImage page = prepared.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The page reaches the server within a few turns of the event loop.
    QImage shown;
    for (int turn = 0; turn < 100 && shown != page; ++turn) {
        QTest::qWait(50);
        shown = OnScreen(prepared);
    }
    ASSERT_EQ(shown.size(), page.size());
    int differing = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            differing += shown.pixel(x, y) != page.pixel(x, y);
    EXPECT_EQ(differing, 0);
    // And it is the page: the title line's text is drawn.
    const QRect title = Control(prepared, "titleLine_1005")->geometry();
    bool titleDrawn = false;
    for (int y = title.top(); y <= title.bottom() && !titleDrawn; ++y)
        for (int x = title.left(); x <= title.right() && !titleDrawn; ++x)
            titleDrawn = QColor(shown.pixel(x, y)) != QColor(0x20, 0x20, 0x20);
    EXPECT_TRUE(titleDrawn);
}

}  // namespace
