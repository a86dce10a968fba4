// norvexsetup: the installer. Start-up runs without a window; then the wizard
// takes over, or with "-silent" the unattended run on the console.
#include "app/CommandLine.h"
#include "app/EmbeddedPackage.h"
#include "app/NorvexSetupApp.h"
#include "app/TextFormat.h"
#include "app/UnattendedRun.h"
#include "common/PumpMessages.h"
#include "wizard/NorvexSetupDlg.h"
#include "wizard/WidgetMessageBox.h"
#include "wizard/WizardRun.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <optional>

int main(int argc, char** argv)
{
    // Before any work: a signal cancels the run instead of killing it midway.
    InstallCancelSignalHandlers();

    // Taken before Qt sees them: argument 0 exactly as the system gave it.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    const QString modulePath = CCommandLine::ResolveModulePath(arguments.value(0), QDir::currentPath());

    const CCommandLine commandLine = CCommandLine::Parse(arguments.mid(1), modulePath);
    // The package's digest is worked out while the toolkit starts; the
    // package check waits for it.
    std::optional<CPackageDigestPrefetch> packageDigest;
    if (!commandLine.help && commandLine.mode != RunMode::Uninstall
        && commandLine.mode != RunMode::DoUninstall)
        packageDigest.emplace();

    // The switch list and unattended runs need no window.
    if (commandLine.silent || commandLine.help) {
        QCoreApplication application(argc, argv);
        CNorvexSetupApp app(arguments);
        app.SetRunStep([](CNorvexSetupApp& self) {
            return CUnattendedRun(self.Engine(), self.MessageBox()).Run(self.CommandLine().pathArgument);
        });
        app.InitInstance();
        return app.ExitCode();
    }

    if (!HasDisplay()) {
        const QByteArray text =
            QFile::encodeName(FormatMessage(TEXT::NoDisplay, {QFileInfo(modulePath).fileName()}));
        std::fputs(text.constData(), stderr);
        return CUnattendedRun::kStartupFailure;
    }
    QApplication application(argc, argv);
    // While the package digest is still being worked out.
    CNorvexSetupDlg::PrepareFonts();
    CNorvexSetupApp app(arguments);
    // Start-up errors come before the wizard, in boxes of their own.
    CWidgetMessageBox startupBox(nullptr, CWidgetMessageBox::ApplicationNameOf(modulePath));
    app.SetMessageBox(&startupBox);
    UseWizard(app);
    app.InitInstance();
    return app.ExitCode();
}
