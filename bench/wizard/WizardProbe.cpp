// Runs the installer's windowed start on an installer file, as norvexsetup
// does, and stops when the wizard's first page has been painted. Prints the
// time since the process started, the peak resident memory so far, and
// "reached NS" (CLOCK_MONOTONIC).
//   norvex-wizard-probe INSTALLER
#include "app/CommandLine.h"
#include "app/EmbeddedPackage.h"
#include "app/NorvexSetupApp.h"
#include "wizard/NorvexSetupDlg.h"
#include "wizard/WizardRun.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QObject>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <time.h>

namespace {

const auto kStarted = std::chrono::steady_clock::now();

// The first paint of the wizard's own window ends the run at once: no page
// after it, no close handling.
class FirstPaint : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && qobject_cast<CNorvexSetupDlg*>(watched)) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - kStarted);
            rusage usage{};
            ::getrusage(RUSAGE_SELF, &usage);
            timespec now{};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("first page painted after %lld us, peak memory %ld KiB\nreached %lld\n",
                        static_cast<long long>(elapsed.count()), usage.ru_maxrss,
                        static_cast<long long>(now.tv_sec) * 1000000000 + now.tv_nsec);
            std::fflush(stdout);
            std::_Exit(0);
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: norvex-wizard-probe INSTALLER\n");
        return 2;
    }
    const QString installer = QFile::decodeName(argv[1]);
    // As norvexsetup does: the digest is worked out while the toolkit starts.
    const CPackageDigestPrefetch packageDigest(installer);
    FirstPaint firstPaint;
    const QStringList arguments{installer};
    RunWindowed(argc, argv, arguments, CCommandLine::Of(arguments, QDir::currentPath()),
                [&](CNorvexSetupApp& setup) {
                    qApp->installEventFilter(&firstPaint);
                    setup.SetExecutablePath(installer);
                });
    // Start-up did not reach the wizard.
    return 1;
}
