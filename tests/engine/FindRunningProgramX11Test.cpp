// The running-program probe against a real X server: the marker window
// program stands in for the product's main window.
#include "engine/InstallEngine.h"
#include "platform/WindowMarkers.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr int kWait = 60000;  // only a guard against hangs

TEST(FindRunningProgramX11, FindsTheProductWindowByItsLabelAndClosesIt)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
    QProcess product;
    product.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    product.start(QStringLiteral(NORVEX_MARKER_WINDOW), {QStringLiteral("202208")});
    while (!product.canReadLine() && product.state() != QProcess::NotRunning)
        product.waitForReadyRead(kWait);
    const std::uint32_t id = product.readLine().trimmed().toUInt();
    ASSERT_NE(id, 0u);

    CInstallEngine engine;
    const struct {
        std::int32_t value;
        bool found;
    } cases[] = {{202208, true}, {202209, false}, {-202208, false}, {0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        engine.Manifest.info.value = c.value;
        std::uint32_t window = 0;
        EXPECT_EQ(engine.FindRunningProgram(&window), c.found);
        EXPECT_EQ(window, c.found ? id : 0u);
    }

    engine.Manifest.info.value = 202208;
    ASSERT_TRUE(PLATFORM::RequestWindowClose(id));
    ASSERT_TRUE(product.waitForFinished(kWait));
    EXPECT_EQ(product.exitCode(), 0);
    EXPECT_FALSE(engine.FindRunningProgram());
}

}  // namespace
