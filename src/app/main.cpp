// norvexsetup: the installer. Start-up runs without a window; the wizard or
// the unattended run takes over once the manifest is loaded.
#include "app/NorvexSetupApp.h"
#include "app/UnattendedRun.h"
#include "common/PumpMessages.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

int main(int argc, char** argv)
{
    // Before any work: a signal cancels the run instead of killing it midway.
    InstallCancelSignalHandlers();

    // Taken before Qt sees them: argument 0 exactly as the system gave it.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);

    QCoreApplication application(argc, argv);
    CNorvexSetupApp app(arguments);
    // "silent" runs the job on the console; the wizard takes the other runs.
    app.SetRunStep([](CNorvexSetupApp& self) {
        if (!self.CommandLine().silent)
            return 0;
        return CUnattendedRun(self.Engine(), self.MessageBox()).Run(self.CommandLine().pathArgument);
    });
    app.InitInstance();
    return app.ExitCode();
}
