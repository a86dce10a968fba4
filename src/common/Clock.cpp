#include "common/Clock.h"

#include <QThread>

#include <utility>

namespace {

std::function<void(int)>& PauseFunction()
{
    static std::function<void(int)> function;
    return function;
}

}  // namespace

void Pause(int milliseconds)
{
    if (PauseFunction()) {
        PauseFunction()(milliseconds);
        return;
    }
    if (milliseconds > 0)
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void SetPauseFunction(std::function<void(int)> function)
{
    PauseFunction() = std::move(function);
}
