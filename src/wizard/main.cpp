// norvexsetup: the installer. Start-up runs without a window; then the wizard
// takes over, or with "-silent" the unattended run on the console.
#include "app/CommandLine.h"
#include "app/EmbeddedPackage.h"
#include "app/NorvexSetupApp.h"
#include "app/UnattendedRun.h"
#include "common/PumpMessages.h"
#include "common/TextFormat.h"
#include "wizard/WizardRun.h"

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
    const CCommandLine commandLine = CCommandLine::Of(arguments, QDir::currentPath());
    // The package's digest is worked out while the toolkit starts; the
    // package check waits for it.
    std::optional<CPackageDigestPrefetch> packageDigest;
    if (!commandLine.help && commandLine.mode != RunMode::Uninstall
        && commandLine.mode != RunMode::DoUninstall)
        packageDigest.emplace();

    // The switch list and unattended runs need no window.
    if (commandLine.silent || commandLine.help) {
        QCoreApplication application(argc, argv);
        CNorvexSetupApp app(arguments, commandLine);
        app.SetRunStep([](CNorvexSetupApp& self) {
            return CUnattendedRun(self.Engine(), self.MessageBox()).Run(self.CommandLine().pathArgument);
        });
        app.InitInstance();
        return app.ExitCode();
    }

    if (!HasDisplay()) {
        const QByteArray text =
            QFile::encodeName(FormatMessage(TEXT::NoDisplay, {QFileInfo(commandLine.modulePath).fileName()}));
        std::fputs(text.constData(), stderr);
        return CUnattendedRun::kStartupFailure;
    }
    return RunWindowed(argc, argv, arguments, commandLine);
}
