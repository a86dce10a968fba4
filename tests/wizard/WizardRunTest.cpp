// The windowed run's steps around start-up: a start-up that fails after the
// wizard's window was prepared says why, drops the window unseen and ends
// with the start-up failure code.
#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "app/NorvexSetupApp.h"
#include "app/StartupSupport.h"
#include "common/PumpMessages.h"
#include "wizard/NorvexSetupDlg.h"
#include "wizard/WidgetTestSupport.h"
#include "wizard/WizardRun.h"
#include "wizard/WizardTestSupport.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace {

struct FailureCase {
    const char* name;
    const char* switches;  // after argument 0; empty for a plain installation
    CNorvexSetupApp::StartupResult result;
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

int PreparedWindows()
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += qobject_cast<CNorvexSetupDlg*>(w) != nullptr;
    return count;
}

// Also counts the wizard windows that exist while the message is shown.
class CCountingMessageBox : public TESTS::CRecordingMessageBox {
public:
    MessageAnswer Show(const QString& text, const QString& caption, MessageIcon icon,
                       MessageButtons buttons) override
    {
        windowsWhileShown = PreparedWindows();
        return CRecordingMessageBox::Show(text, caption, icon, buttons);
    }
    int windowsWhileShown = -1;
};

class WizardStartupFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(WizardStartupFailure, DropsThePreparedWindowAndEndsCleanly)
{
    TESTS::WidgetApplication();
    // No attached package here and no setup.cab or uninstall.xml beside
    // argument 0.
    const QString module = TESTS::SandboxPath(QStringLiteral("dl/norvexsetup"));
    TESTS::WriteFileBytes(module, "placeholder");
    QStringList arguments{module};
    if (*GetParam().switches)
        arguments << QString::fromLatin1(GetParam().switches);

    CCountingMessageBox messages;
    {
        CNorvexSetupApp app(arguments);
        app.SetMessageBox(&messages);
        UseWizard(app);
        app.InitInstance();
        EXPECT_EQ(app.Result(), GetParam().result);
        EXPECT_EQ(app.ExitCode(), 2);
    }
    EXPECT_EQ(messages.shown.size(), 1u);
    // Prepared before the failure, never shown, gone with the app.
    EXPECT_EQ(messages.windowsWhileShown, 1);
    EXPECT_EQ(PreparedWindows(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, WizardStartupFailure,
                         testing::Values(FailureCase{"NoPackage", "",
                                                     CNorvexSetupApp::StartupResult::PackageError},
                                         FailureCase{"NoRemovalManifest", "/UNINSTALL",
                                                     CNorvexSetupApp::StartupResult::ManifestError}),
                         TESTS::CaseName());

// A cancel signal that comes while the window is only prepared (start-up may
// still show boxes then) closes the wizard once it opens, with the cancel
// result; the prepared window does not close itself unseen and then open
// with nothing watching.
TEST(PreparedWizard, CancelSignalBeforeOpeningClosesItOnceOpen)
{
    TESTS::WidgetApplication();
    TESTS::CTestEngine engine;
    CNorvexSetupDlg dialog(engine, nullptr, nullptr, CNorvexSetupDlg::Opening::Later);
    int finishedBeforeOpening = 0;
    QObject::connect(&dialog, &QDialog::finished, &dialog,
                     [&finishedBeforeOpening] { ++finishedBeforeOpening; });
    InstallCancelSignalHandlers();
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(CancelSignalCame());
    QTest::qWait(600);  // several turns of the signal watch
    EXPECT_EQ(finishedBeforeOpening, 0);
    EXPECT_FALSE(dialog.isVisible());
    QObject::disconnect(&dialog, &QDialog::finished, nullptr, nullptr);

    TESTS::LoadSampleProduct(engine, RunMode::Install);
    dialog.Open();
    // Only a guard against hanging: the signal closes it long before.
    QTimer::singleShot(60000, &dialog, [&dialog] { dialog.done(QDialog::Accepted); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
}

}  // namespace
