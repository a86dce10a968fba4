#include "common/PumpMessages.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <utility>

namespace {

bool& CancelFlag()
{
    static bool cancel = false;
    return cancel;
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
    if (!CancelFlag() && QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return CancelFlag() ? 1 : 0;
}

void SetCancelFlag(bool cancel)
{
    CancelFlag() = cancel;
}

bool GetCancelFlag()
{
    return CancelFlag();
}

void SetPumpMessagesHook(std::function<void()> hook)
{
    PumpHook() = std::move(hook);
}
