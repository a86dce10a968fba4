#include "common/PumpMessages.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <csignal>
#include <utility>

#include <signal.h>

namespace {

// The user's cancel; a new run clears it.
volatile std::sig_atomic_t g_cancel = 0;
// Set from the signal handlers, so only a sig_atomic_t will do. Kept apart
// from the user's cancel so that no new run clears it: a signal that came
// during start-up or the checks must still stop the run.
volatile std::sig_atomic_t g_signalled = 0;

extern "C" void OnCancelSignal(int)
{
    g_signalled = 1;
}

std::function<void()>& PumpHook()
{
    static std::function<void()> hook;
    return hook;
}

}  // namespace

int PumpMessages()
{
    if (PumpHook())
        PumpHook()();
    // Without an application object there is no event queue to empty.
    if (!GetCancelFlag() && QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return GetCancelFlag() ? 1 : 0;
}

void SetCancelFlag(bool cancel)
{
    g_cancel = cancel ? 1 : 0;
}

bool GetCancelFlag()
{
    return g_cancel != 0 || g_signalled != 0;
}

bool CancelSignalCame()
{
    return g_signalled != 0;
}

void InstallCancelSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnCancelSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: a signal must not turn a read or write into a failure.
    action.sa_flags = SA_RESTART;
    sigset_t cancelSignals;
    sigemptyset(&cancelSignals);
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        // A run started under nohup keeps ignoring hangups, as asked.
        struct sigaction previous {};
        if (number == SIGHUP && sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(number, &action, nullptr);
        sigaddset(&cancelSignals, number);
    }
    // A mask inherited from the parent would hold them back for good; one
    // already pending arrives now.
    sigprocmask(SIG_UNBLOCK, &cancelSignals, nullptr);
    // A file-size limit is then an ordinary write error instead of death.
    std::signal(SIGXFSZ, SIG_IGN);
}

void SetPumpMessagesHook(std::function<void()> hook)
{
    PumpHook() = std::move(hook);
}
