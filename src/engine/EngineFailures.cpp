// The engine's last-error record: every failure is kept, counted and logged.
#include "engine/InstallEngine.h"

bool CInstallEngine::Fail(const CFailure& failure)
{
    m_lastError = failure;
    ++m_failureCount;
    Log.Failed(failure.Text());
    return false;
}
