#include "app/UnattendedRun.h"

#include "app/ConsoleView.h"
#include "app/TextFormat.h"
#include "app/WorkProcedures.h"
#include "common/Clock.h"
#include "common/FileHelpers.h"

#include <QDir>

namespace {

// The pauses only give the window a visible moment.
class CNoPauses {
public:
    CNoPauses()
    {
        SetPauseFunction([](int) {});
    }
    ~CNoPauses() { SetPauseFunction({}); }
};

QString FolderFromArgument(const QString& argument)
{
    return WithOneSlash(QDir::cleanPath(QDir::current().absoluteFilePath(argument)));
}

}  // namespace

CUnattendedRun::CUnattendedRun(CInstallEngine& engine, CMessageBox& messageBox, std::FILE* out)
    : m_engine(engine), m_messageBox(messageBox), m_out(out)
{
}

int CUnattendedRun::Run(const QString& pathArgument)
{
    CNoPauses noPauses;
    CConsoleView view(m_out);
    CWorkProcedures procedures(m_engine, view, m_messageBox);

    view.WriteLine(ModeTitle(m_engine.Mode, m_engine.Manifest.version.prog, false));

    ProcedureResult result = ProcedureResult::Failed;
    switch (m_engine.Mode) {
    case RunMode::Install:
    case RunMode::Upgrade:
    case RunMode::Repair:
        // Only a first installation has a location page to take the folder
        // from; an upgrade or repair stays where the product is.
        if (m_engine.Mode == RunMode::Install && !pathArgument.isEmpty())
            m_engine.InstallFolder = FolderFromArgument(pathArgument);
        // The room the run needs, as the wizard's ready page shows it.
        if (const QString space = SpaceNeededLine(m_engine); !space.isEmpty())
            view.WriteLine(space);
        if (!procedures.CheckRunningProgram())
            return kFailure;
        result = m_engine.Mode == RunMode::Install ? procedures.Install()
            : m_engine.Mode == RunMode::Upgrade    ? procedures.Upgrade()
                                                   : procedures.Repair();
        if (result == ProcedureResult::Failed || result == ProcedureResult::NotStarted)
            return kFailure;
        // The shortcut page's defaults: both boxes ticked. A run with a failed
        // step still finishes, but is no success.
        procedures.CreateShortcuts(true, true);
        return result == ProcedureResult::Completed ? kSuccess : kFailure;
    case RunMode::Uninstall:
    case RunMode::DoUninstall:
        // Linux deletes the running program's folder, so no hand-over copy.
        result = procedures.Remove();
        return result == ProcedureResult::Completed ? kSuccess : kFailure;
    }
    return kFailure;
}
