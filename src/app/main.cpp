// norvexsetup: the installer. Start-up runs without a window; the wizard or
// the unattended run takes over once the manifest is loaded.
#include "app/NorvexSetupApp.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

int main(int argc, char** argv)
{
    // Taken before Qt sees them: argument 0 exactly as the system gave it.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);

    QCoreApplication application(argc, argv);
    CNorvexSetupApp app(arguments);
    // The wizard and the unattended run ("silent") plug in here through
    // SetRunStep; until then start-up ends once the manifest is loaded.
    app.InitInstance();
    return app.ExitCode();
}
