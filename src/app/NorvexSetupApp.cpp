#include "app/NorvexSetupApp.h"

#include "app/ConsoleMessageBox.h"
#include "app/EmbeddedPackage.h"
#include "app/SwitchHelp.h"
#include "app/WorkProcedures.h"
#include "common/MessageTable.h"
#include "common/SystemLanguage.h"
#include "engine/EngineNames.h"
#include "engine/InstallEngine.h"
#include "platform/SingleInstance.h"
#include "platform/TempFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

namespace {

constexpr int kStartupFailedExitCode = 2;

QString RunModeName(RunMode mode)
{
    switch (mode) {
    case RunMode::Install:
        return QStringLiteral("install");
    case RunMode::Upgrade:
        return QStringLiteral("upgrade");
    case RunMode::Repair:
        return QStringLiteral("repair");
    case RunMode::Uninstall:
        return QStringLiteral("uninstall");
    case RunMode::DoUninstall:
        return QStringLiteral("douninstall");
    }
    return QString::number(int(mode));
}

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
    // What the steps hold, such as a window prepared on the engine and
    // registered for show requests, goes before the engine and the claim.
    m_runStep = nullptr;
    m_prepareStep = nullptr;
    m_engine.reset();
    m_singleInstance.reset();
}

CNorvexSetupApp::CNorvexSetupApp(QStringList arguments, CCommandLine commandLine)
    : CNorvexSetupApp(std::move(arguments))
{
    m_givenCommandLine = std::move(commandLine);
}

void CNorvexSetupApp::SetMessageBox(CMessageBox* box)
{
    m_messageBox = box ? box : m_consoleMessageBox.get();
}

void CNorvexSetupApp::SetShowRequestHandler(std::function<void()> handler)
{
    m_singleInstance->SetShowRequestHandler(std::move(handler));
}

QString CNorvexSetupApp::ErrorCaption()
{
    return GetTextString(TEXT::ErrorCaption);
}

QString CNorvexSetupApp::ManifestErrorText()
{
    return GetTextString(TEXT::ManifestError);
}

QString CNorvexSetupApp::PackageErrorText()
{
    return GetTextString(TEXT::PackageError);
}

void CNorvexSetupApp::WriteToStandardError(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void CNorvexSetupApp::WriteToStandardOutput(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void CNorvexSetupApp::ShowStartupError(const QString& text)
{
    m_messageBox->Show(text, ErrorCaption(), MessageIcon::Warning, MessageButtons::Ok);
    m_exitCode = kStartupFailedExitCode;
}

bool CNorvexSetupApp::InitInstance()
{
    QElapsedTimer clock;
    clock.start();
    SetSystemLanguageId(SystemLanguageId());

    CInstallEngine& engine = *m_engine;
    const QString argument0 = m_arguments.isEmpty() ? QString() : m_arguments.first();
    m_commandLine = m_givenCommandLine ? *m_givenCommandLine : CCommandLine::Of(m_arguments, m_workingFolder);
    engine.ModulePath = m_commandLine.modulePath;
    engine.ModuleFolder = CCommandLine::ModuleFolderOf(engine.ModulePath);
    engine.Mode = m_commandLine.mode;

    // Help and switch errors come before anything is claimed or read.
    const QString programName = QFileInfo(argument0.isEmpty() ? engine.ModulePath : argument0).fileName();
    if (m_commandLine.help) {
        WriteToStandardOutput(SwitchListText(programName));
        m_result = StartupResult::HelpShown;
        return false;
    }
    // A mistyped switch in an unattended run must not quietly do nothing.
    if (m_commandLine.silent
        && (!m_commandLine.unknownSwitches.isEmpty() || !m_commandLine.switchWithoutValue.isEmpty())) {
        for (const QString& unknown : m_commandLine.unknownSwitches)
            WriteToStandardError(UnknownSwitchText(programName, unknown));
        if (!m_commandLine.switchWithoutValue.isEmpty())
            WriteToStandardError(SwitchWithoutValueText(programName, m_commandLine.switchWithoutValue));
        m_result = StartupResult::SwitchError;
        m_exitCode = kStartupFailedExitCode;
        return false;
    }

    if (!m_commandLine.logPath.isEmpty()) {
        QString why;
        // Told once; the run does its job without a log.
        if (!engine.Log.Open(QDir(m_workingFolder).absoluteFilePath(m_commandLine.logPath), &why))
            WriteToStandardError(why);
        engine.Log.Write(QStringLiteral("start: ") + QStringList(m_arguments).join(u' '));
    }
    Startup();
    const bool succeeded = m_result == StartupResult::Ready && m_exitCode == 0;
    engine.Log.Write(QStringLiteral("end: %1, exit code %2, %3 s")
                         .arg(succeeded ? QStringLiteral("success") : QStringLiteral("failure"))
                         .arg(m_exitCode)
                         .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 3));
    engine.Log.Close();
    return false;
}

void CNorvexSetupApp::Startup()
{
    CInstallEngine& engine = *m_engine;

    // The removal copy must run even while the first stage's window is open.
    if (engine.Mode != RunMode::DoUninstall && !m_singleInstance->Claim()) {
        m_result = StartupResult::SecondInstance;
        // The wizard steps back silently, its first window raised; an
        // unattended run that did nothing must not look like success.
        if (m_commandLine.silent) {
            engine.Log.Write(QStringLiteral("another installer is running"));
            ShowStartupError(SecondInstanceText());
            return;
        }
        engine.Log.Write(QStringLiteral("another installer window is open; it was asked to come forward"));
        return;
    }

    // What a killed run left in the temporary folder; files in use are locked.
    // Only the run that holds the claim may judge: the removal copy runs
    // beside its first stage, whose files may be in use unlocked.
    if (m_singleInstance->IsClaimed())
        RemoveStaleTempFiles();

    QCoreApplication::setOrganizationName(QStringLiteral("Tessaly"));
    if (m_prepareStep)
        m_prepareStep(*this);

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
            engine.Log.Failed(QStringLiteral("cannot load the manifest ") + manifestPath);
            ShowStartupError(ManifestErrorText());
            return;
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
            engine.Log.Failed(QStringLiteral("cannot load the package of ") + engine.ModulePath);
            ShowStartupError(PackageErrorText());
            return;
        }
        break;
    }
    }

    // A killed run of this product is undone first, so the installation it
    // interrupted is found as it was before.
    // The removal copy runs beside its first stage, which has done this.
    CRollback::Recovered recovered = CRollback::Recovered::Nothing;
    const QStringList problems =
        engine.Mode == RunMode::DoUninstall ? QStringList() : engine.RecoverInterruptedRun(&recovered);
    if (recovered != CRollback::Recovered::Nothing)
        m_messageBox->Show(InterruptedRunText(engine.Manifest.version.prog, recovered, problems), QString(),
                           problems.isEmpty() ? MessageIcon::Information : MessageIcon::Warning,
                           MessageButtons::Ok);

    engine.DetectPreviousInstall();
    engine.Log.Write(QStringLiteral("run: mode %1, installer %2, package %3, folder %4")
                         .arg(RunModeName(engine.Mode), engine.ModulePath,
                              engine.Package.IsEmpty() ? QStringLiteral("none")
                                  // Read in place: the running program's own file.
                                  : engine.Package.IsRange() ? QStringLiteral("attached (%1 bytes from %2)")
                                                                   .arg(engine.Package.size)
                                                                   .arg(engine.Package.offset)
                                                             : engine.Package.path,
                              engine.InstallFolder));
    m_result = StartupResult::Ready;
    if (m_runStep)
        m_exitCode = m_runStep(*this);
}
