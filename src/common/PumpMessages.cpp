#include "common/PumpMessages.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <csignal>
#include <utility>

namespace {

// Set from signal handlers too, so only a sig_atomic_t will do.
volatile std::sig_atomic_t g_cancel = 0;

extern "C" void OnCancelSignal(int)
{
    g_cancel = 1;
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
    if (!g_cancel && QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return g_cancel ? 1 : 0;
}

void SetCancelFlag(bool cancel)
{
    g_cancel = cancel ? 1 : 0;
}

bool GetCancelFlag()
{
    return g_cancel != 0;
}

void InstallCancelSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnCancelSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: a signal must not turn a read or write into a failure.
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGHUP})
        sigaction(number, &action, nullptr);
    // A file-size limit is then an ordinary write error instead of death.
    std::signal(SIGXFSZ, SIG_IGN);
}

void SetPumpMessagesHook(std::function<void()> hook)
{
    PumpHook() = std::move(hook);
}
