// Runs the installer's whole start-up on an installer file (package written
// out and its digest checked, Install.xml extracted and loaded, the previous
// installation looked up) and stops where the wizard would open, printing
// "reached NS" (CLOCK_MONOTONIC) there. Exit code 0 when start-up got that far.
//   norvex-startup-probe INSTALLER
#include "app/NorvexSetupApp.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#include <time.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: norvex-startup-probe INSTALLER\n");
        return 2;
    }
    QCoreApplication application(argc, argv);
    const QString installer = QFile::decodeName(argv[1]);
    CNorvexSetupApp setup({installer});
    setup.SetExecutablePath(installer);
    setup.SetRunStep([](CNorvexSetupApp&) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("reached %lld\n", static_cast<long long>(now.tv_sec) * 1000000000 + now.tv_nsec);
        return 0;
    });
    setup.InitInstance();
    return setup.Result() == CNorvexSetupApp::StartupResult::Ready ? 0 : 1;
}
