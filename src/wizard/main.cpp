// norvexsetup: the installer. Start-up runs without a window; then the wizard
// takes over, or with "-silent" the unattended run on the console.
#include "app/CommandLine.h"
#include "app/NorvexSetupApp.h"
#include "app/UnattendedRun.h"
#include "wizard/WidgetMessageBox.h"
#include "wizard/WizardRun.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    // Taken before Qt sees them: argument 0 exactly as the system gave it.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    const QString modulePath = CCommandLine::ResolveModulePath(arguments.value(0), QDir::currentPath());

    // The switch list and unattended runs need no window.
    const CCommandLine commandLine = CCommandLine::Parse(arguments.mid(1), modulePath);
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
        const QByteArray name = QFile::encodeName(QFileInfo(modulePath).fileName());
        std::fprintf(stderr,
                     "%s: no display to open the setup window on (DISPLAY is not set).\n"
                     "Run it with -silent to install without a window.\n",
                     name.constData());
        return CUnattendedRun::kStartupFailure;
    }
    QApplication application(argc, argv);
    CNorvexSetupApp app(arguments);
    // Start-up errors come before the wizard, in boxes of their own.
    CWidgetMessageBox startupBox(nullptr, CWidgetMessageBox::ApplicationNameOf(modulePath));
    app.SetMessageBox(&startupBox);
    app.SetRunStep(RunWizard);
    app.InitInstance();
    return app.ExitCode();
}
