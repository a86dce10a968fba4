// A wizard on a real engine in the test's sandbox: the shared fixture package
// and manifest, pauses made instant, message boxes answered in advance, and
// the seams outside the window (links, folder picker, upgrade check, program
// start) recorded instead of reaching the desktop.
#pragma once

#include "support/Recorders.h"
#include "support/Sandbox.h"

#include "common/Clock.h"
#include "common/MessageTable.h"
#include "common/PumpMessages.h"
#include "engine/InstallEngine.h"
#include "platform/ProgramStarter.h"
#include "wizard/NorvexSetupDlg.h"
#include "wizard/WidgetTestSupport.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace TESTS {

// An engine whose running-program probe a test decides.
class CTestEngine : public CInstallEngine {
public:
    bool programRunning = false;
    bool FindRunningProgram(std::uint32_t* window) override
    {
        if (window)
            *window = 0;
        return programRunning;
    }
};

class CTestWizard : public CNorvexSetupDlg {
public:
    using CNorvexSetupDlg::CNorvexSetupDlg;

    QStringList openedLinks;
    QString folderToPick;
    QString pickerStartedAt;
    bool upgradeStarted = false;
    int upgradeChecks = 0;
    bool companionNeeded = false;
    std::vector<bool> companionInstalls;

    bool NeedCompanionEditor() override { return companionNeeded; }
    void InstallCompanionEditor(bool agreed) override { companionInstalls.push_back(agreed); }

protected:
    bool CheckForUpgrade() override
    {
        ++upgradeChecks;
        return upgradeStarted;
    }
    QString PickFolder(const QString& start) override
    {
        pickerStartedAt = start;
        return folderToPick;
    }
    void OpenLink(const QUrl& url) override { openedLinks << url.toString(); }
};

// The sample fixture product: "Tessaly Label Cloud & Print" 6.32.1908.
inline void LoadSampleProduct(CInstallEngine& engine, RunMode mode)
{
    engine.ModulePath = SandboxPath(QStringLiteral("dl/LabelCloudSetup"));
    engine.ModuleFolder = SandboxPath(QStringLiteral("dl/"));
    engine.Package.path = SandboxPath(QStringLiteral("dl/setup.cab"));
    WriteFileBytes(engine.Package.path, ReadFileBytes(FixturePath(QStringLiteral("sample/sample.cab"))));
    ASSERT_TRUE(engine.Manifest.Load(FixturePath(QStringLiteral("sample/Install.xml"))));
    engine.Mode = mode;
    engine.DetectPreviousInstall();
    engine.Mode = mode;
}

template <typename T = QWidget>
T* Control(QWidget& dialog, const char* name)
{
    T* control = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

// A real click: the pointer moves onto the control first, as a person's does.
inline void Click(QWidget& dialog, const char* name)
{
    QWidget* control = Control(dialog, name);
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(control->isVisible()) << name << " is hidden";
    ASSERT_TRUE(control->isEnabled()) << name << " is disabled";
    QTest::mouseMove(control, QPoint(5, 5));
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
}

class WizardTest : public testing::Test {
protected:
    void SetUp() override
    {
        WidgetApplication();
        SetSystemLanguageId(kLangChinesePrc);
        SetCancelFlag(false);
        SetPauseFunction([](int) {});
    }
    void TearDown() override
    {
        wizard.reset();
        SetPauseFunction({});
        SetCancelFlag(false);
        SetPumpMessagesHook({});
    }

    // Opens the wizard for mode on the sample product and shows it.
    CTestWizard& Open(RunMode mode)
    {
        LoadSampleProduct(engine, mode);
        wizard = std::make_unique<CTestWizard>(engine);
        wizard->Procedures().Programs = &recordingStarter;
        wizard->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(wizard.get()));
        return *wizard;
    }

    QString Text(const char* name) const
    {
        if (auto* label = wizard->findChild<QLabel*>(QString::fromLatin1(name)))
            return label->text();
        if (auto* button = wizard->findChild<QAbstractButton*>(QString::fromLatin1(name)))
            return button->text();
        return QStringLiteral("<no control>");
    }
    bool Shown(const char* name) const
    {
        QWidget* w = wizard->findChild<QWidget*>(QString::fromLatin1(name));
        return w && !w->isHidden();
    }
    CWidgetMessageBox& Boxes() { return wizard->WidgetMessageBox(); }

    CTestEngine engine;
    std::unique_ptr<CTestWizard> wizard;
    CRecordingStarter recordingStarter;
    std::vector<CRecordingStarter::Start>& started = recordingStarter.starts;
};

}  // namespace TESTS
