#include "app/NorvexSetupApp.h"

#include "app/ConsoleMessageBox.h"
#include "app/EmbeddedPackage.h"
#include "app/WorkProcedures.h"
#include "platform/TempFiles.h"
#include "engine/InstallEngine.h"
#include "app/MessageTable.h"
#include "engine/EngineNames.h"
#include "platform/SingleInstance.h"
#include "platform/SystemLanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr int kStartupFailedExitCode = 2;

}  // namespace

CNorvexSetupApp::CNorvexSetupApp(QStringList arguments)
    : m_arguments(std::move(arguments)),
      m_executablePath(QStringLiteral("/proc/self/exe")),
      m_workingFolder(QDir::currentPath()),
      m_engine(std::make_unique<CInstallEngine>()),
      m_singleInstance(std::make_unique<PLATFORM::CSingleInstance>()),
      m_consoleMessageBox(std::make_unique<CConsoleMessageBox>()),
      m_messageBox(m_consoleMessageBox.get())
{
}

CNorvexSetupApp::~CNorvexSetupApp()
{
    m_engine.reset();
    m_singleInstance.reset();
}

void CNorvexSetupApp::SetMessageBox(CMessageBox* box)
{
    m_messageBox = box ? box : m_consoleMessageBox.get();
}

void CNorvexSetupApp::SetShowRequestHandler(std::function<void()> handler)
{
    m_singleInstance->SetShowRequestHandler(std::move(handler));
}

QString CNorvexSetupApp::ErrorCaption() { return QStringLiteral("出错"); }

QString CNorvexSetupApp::ManifestErrorText()
{
    return QStringLiteral("卸载程序发生意外的错误，无法完成卸载！");
}

QString CNorvexSetupApp::PackageErrorText()
{
    return QStringLiteral("安装程序无法加载安装数据，请重新下载安装程序后重试！");
}

void CNorvexSetupApp::ShowStartupError(const QString& text)
{
    m_messageBox->Show(text, ErrorCaption(), MessageIcon::Warning, MessageButtons::Ok);
    m_exitCode = kStartupFailedExitCode;
}

bool CNorvexSetupApp::InitInstance()
{
    SetSystemLanguageId(PLATFORM::SystemLanguageId());

    CInstallEngine& engine = *m_engine;
    const QString argument0 = m_arguments.isEmpty() ? QString() : m_arguments.first();
    engine.ModulePath = CCommandLine::ResolveModulePath(argument0, m_workingFolder);
    engine.ModuleFolder = CCommandLine::ModuleFolderOf(engine.ModulePath);

    m_commandLine = CCommandLine::Parse(m_arguments.mid(1), engine.ModulePath);
    engine.Mode = m_commandLine.mode;

    // The removal copy must run even while the first stage's window is open.
    if (engine.Mode != RunMode::DoUninstall && !m_singleInstance->Claim()) {
        m_result = StartupResult::SecondInstance;
        // The wizard steps back silently, its first window raised; an
        // unattended run that did nothing must not look like success.
        if (m_commandLine.silent)
            ShowStartupError(SecondInstanceText());
        return false;
    }

    // What a killed run left in the temporary folder; files in use are locked.
    RemoveStaleTempFiles();

    QCoreApplication::setOrganizationName(QStringLiteral("Tessaly"));

    switch (engine.Mode) {
    case RunMode::Uninstall:
    case RunMode::DoUninstall: {
        QString manifestPath = m_commandLine.pathArgument;
        if (engine.Mode == RunMode::Uninstall && manifestPath.isEmpty())
            manifestPath = engine.ModuleFolder + QStringLiteral("uninstall.xml");
        // A product name that is not one safe name would put removal to work
        // on the vendor folder or outside it.
        if (manifestPath.isEmpty() || !engine.Manifest.Load(manifestPath)
            || !IsSingleName(engine.Manifest.info.prog)) {
            m_result = StartupResult::ManifestError;
            ShowStartupError(ManifestErrorText());
            return false;
        }
        engine.ManifestPath = QFileInfo(manifestPath).absoluteFilePath();
        break;
    }
    case RunMode::Install:
    case RunMode::Upgrade:
    case RunMode::Repair: {
        const CEmbeddedPackage package(m_executablePath);
        if (package.LocateAndLoad(engine) != CEmbeddedPackage::Status::Ok
            || !IsSingleName(engine.Manifest.info.prog)) {
            m_result = StartupResult::PackageError;
            ShowStartupError(PackageErrorText());
            return false;
        }
        break;
    }
    }

    engine.DetectPreviousInstall();
    m_result = StartupResult::Ready;
    if (m_runStep)
        m_exitCode = m_runStep(*this);
    return false;
}
