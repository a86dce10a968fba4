#include "app/UnattendedRun.h"

#include "app/ConsoleView.h"
#include "app/ModeTitle.h"
#include "app/PageTable.h"
#include "app/WorkProcedures.h"
#include "common/Clock.h"
#include "common/FileHelpers.h"
#include "common/TextFormat.h"

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

    // The pages of the run mode in their order, each answered with its
    // defaults: only the pages whose buttons do work take part. A run with a
    // failed step still goes on to its end, but is no success.
    bool incomplete = false;
    for (const PageRow& row : PagesOf(m_engine.Mode)) {
        switch (row.primary.command) {
        case PageCommand::SearchOrGoTo:
            // The location page: a first installation takes its folder from
            // the path argument; an upgrade or repair stays where the product is.
            if (!pathArgument.isEmpty())
                m_engine.InstallFolder = FolderFromArgument(pathArgument);
            break;
        case PageCommand::RunProcedure: {
            // The room the run needs, as the ready page shows it.
            if (row.spaceLine) {
                if (const QString space = SpaceNeededLine(m_engine); !space.isEmpty())
                    view.WriteLine(space);
            }
            if (!procedures.CheckRunningProgram())
                return kFailure;
            const ProcedureResult result = procedures.RunProcedure(m_engine.Mode);
            if (result == ProcedureResult::Failed || result == ProcedureResult::NotStarted)
                return kFailure;
            incomplete = incomplete || result != ProcedureResult::Completed;
            break;
        }
        case PageCommand::CreateShortcuts:
            procedures.CreateShortcuts(row.first.checked, row.second.checked);
            break;
        case PageCommand::Remove:
            // Linux deletes the running program's folder, so the removal
            // choice's hand-over copy is not needed. The user data stays, as
            // the box on the last removal page is unticked by default.
            incomplete = incomplete || procedures.Remove() != ProcedureResult::Completed;
            break;
        default:
            break;
        }
    }
    return incomplete ? kFailure : kSuccess;
}
