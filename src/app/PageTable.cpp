#include "app/PageTable.h"

#include "app/ModeTitle.h"
#include "common/MessageTable.h"
#include "common/TextFormat.h"
#include "engine/InstallEngine.h"

namespace {

using A = TextArg;
using C = PageCommand;
using P = WizardPage;

constexpr int kNext = 1204;
constexpr int kCancel = 1205;
constexpr int kFinish = 1202;

// The online search is offered only for a manifest that names where to look.
constexpr int kShortestUpgradeUrl = 11;
// The space the location page announces, in MB.
constexpr int kAnnouncedSpace = 46;

// The ready page of install, upgrade and repair: its text, the line asking to
// continue with the room the run needs, and the procedure on the primary button.
PageRow ReadyRow(PageText description, int overallLine)
{
    PageRow ready{P::Ready};
    ready.description = std::move(description);
    ready.overallLine = {overallLine};
    ready.spaceLine = true;
    ready.primary = {kNext, C::RunProcedure};
    ready.secondary = {kCancel, C::Cancel};
    return ready;
}

// The last two pages of install, upgrade and repair, after rows; they differ
// only in the text of the last page.
std::vector<PageRow> WithLastPages(std::vector<PageRow> rows, PageText finished)
{
    PageRow shortcuts{P::Shortcuts};
    shortcuts.description = {1320, {A::ModeTitle, A::Product}};
    shortcuts.first = {OptionShown::Always, {1318}, true, true};
    shortcuts.second = {OptionShown::Always, {1319}, true, true};
    shortcuts.primary = {kNext, C::CreateShortcuts, P::Finished};

    PageRow finish{P::Finished};
    finish.description = std::move(finished);
    finish.first = {OptionShown::WithCompanionEditor, {TEXT::CompanionEditorOffer}, true, true};
    finish.second = {OptionShown::Always, {1321, {A::Product}}, true, true};
    finish.primary = {kFinish, C::FinishActions};
    rows.push_back(std::move(shortcuts));
    rows.push_back(std::move(finish));
    return rows;
}

std::vector<PageRow> InstallRows()
{
    PageRow licence{P::Licence};
    licence.description = {1304, {A::ModeTitle, A::Product, A::Version}};
    licence.licenceLine = true;
    licence.second.onClick = OptionCommand::EnablesPrimary;
    licence.primary = {kNext, C::GoTo, P::Ready};
    licence.secondary = {kCancel, C::Cancel};
    licence.primaryEnabled = false;

    PageRow location{P::Location};
    location.description = {1307, {A::ModeTitle}};
    location.stepLine = {1308, {A::AnnouncedSpace}};
    location.first = {OptionShown::WithUpgradeAddress, {1324}, false, false};
    location.folder = true;
    location.primary = {kNext, C::SearchOrGoTo, P::Ready};
    location.secondary = {kCancel, C::GoTo, P::Licence};

    PageRow ready = ReadyRow({1309, {A::ModeTitle, A::Product}}, 1310);
    ready.secondary = {kCancel, C::GoTo, P::Location};

    PageRow installing{P::Installing};
    installing.description = {1311, {A::ModeTitle, A::Product}};
    installing.stepBar = installing.overallBar = true;
    installing.primary = {0, C::GoTo, P::Shortcuts};
    installing.secondary = {kCancel, C::ConfirmCancel};

    return WithLastPages({licence, location, ready, installing}, {1322, {A::ModeTitle, A::Product}});
}

// Upgrade and repair: a ready page, the page the procedure runs on, then the
// shortcuts and the end.
std::vector<PageRow> UpgradeRows()
{
    const PageRow ready = ReadyRow({1402, {A::ModeTitle, A::Product, A::PreviousVersion, A::Version}}, 1403);

    PageRow installing{P::Installing};
    installing.description = {1404, {A::ModeTitle, A::Product, A::Version}};
    installing.stepLine = {1405};
    installing.stepBar = installing.overallBar = true;
    installing.primary = {0, C::GoTo, P::Shortcuts};
    installing.secondary = {kCancel, C::ConfirmCancel};

    return WithLastPages({ready, installing}, {1407, {A::ModeTitle, A::Product, A::Version}});
}

std::vector<PageRow> RepairRows()
{
    const PageRow ready = ReadyRow({1503, {A::ModeTitle, A::Product, A::Version}}, 1502);

    PageRow installing{P::Installing};
    installing.description = {1504, {A::ModeTitle, A::Product, A::Version}};
    installing.stepLine = {1505};
    installing.stepBar = true;
    // Shown while the repair runs; pressing it then would run the next
    // page's action inside the repair.
    installing.primary = {kNext, C::GoTo, P::Shortcuts};
    installing.primaryEnabled = false;
    installing.secondary.command = C::ConfirmCancel;

    return WithLastPages({ready, installing}, {1506, {A::ModeTitle, A::Product, A::Version}});
}

std::vector<PageRow> RemovalRows()
{
    PageRow choice{P::RemovalChoice};
    choice.description = {1605, {A::ModeTitle, A::Product}};
    choice.overallLine = {1602};
    choice.first = {OptionShown::Always, {1603, {A::Product}}, false, false, OptionCommand::OneOfTwo};
    choice.second = {OptionShown::Always, {1604, {A::Product}}, false, true, OptionCommand::OneOfTwo};
    choice.primary = {kNext, C::RepairOrHandOver};
    choice.secondary = {kCancel, C::Cancel};
    choice.whenTicked = 1502;
    choice.whenUnticked = 1602;

    PageRow confirm{P::RemovalConfirm};
    confirm.description = {1606, {A::ModeTitle, A::Product}};
    confirm.stepLine = {1607, {A::Product}};
    confirm.primary = {1206, C::Remove};
    confirm.secondary = {kCancel, C::Cancel};

    PageRow removing{P::Removing};
    removing.description = {1608, {A::ModeTitle, A::Product}};
    removing.overallLine = {1604, {A::Product}};
    removing.stepBar = removing.overallBar = true;
    removing.primary = {0, C::GoTo, P::Removed};
    // The removal cannot be stopped half-way: the window stays until it ends.
    removing.secondary = {kCancel, C::CancelWhenIdle};

    PageRow removed{P::Removed};
    removed.description = {1613, {A::ModeTitle, A::Product}};
    removed.second = {OptionShown::Always, {1612}, true, false, OptionCommand::PicksCaption};
    removed.primary = {kFinish, C::RemoveUserDataOrEnd};
    removed.whenTicked = 1201;
    removed.whenUnticked = kFinish;

    PageRow removingData{P::RemovingUserData};
    removingData.description = {1614, {A::ModeTitle}};
    removingData.stepLine = {1615};
    removingData.stepBar = true;
    removingData.primary = {0, C::GoTo, P::UserDataRemoved};
    removingData.secondary.caption = kCancel;

    PageRow dataRemoved{P::UserDataRemoved};
    dataRemoved.description = {1613, {A::ModeTitle, A::Product}};
    dataRemoved.primary = {kFinish, C::End};

    return {choice, confirm, removing, removed, removingData, dataRemoved};
}

}  // namespace

const std::vector<PageRow>& PagesOf(RunMode mode)
{
    static const std::vector<PageRow> install = InstallRows();
    static const std::vector<PageRow> upgrade = UpgradeRows();
    static const std::vector<PageRow> repair = RepairRows();
    static const std::vector<PageRow> removal = RemovalRows();
    switch (mode) {
    case RunMode::Install:
        return install;
    case RunMode::Upgrade:
        return upgrade;
    case RunMode::Repair:
        return repair;
    case RunMode::Uninstall:
    case RunMode::DoUninstall:
        break;
    }
    return removal;
}

int PageIndex(RunMode mode, WizardPage page)
{
    const std::vector<PageRow>& rows = PagesOf(mode);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].page == page)
            return int(i);
    }
    return -1;
}

const PageRow& PageOf(RunMode mode, WizardPage page)
{
    const int index = PageIndex(mode, page);
    return PagesOf(mode)[index < 0 ? 0 : size_t(index)];
}

WizardPage FirstPage(RunMode mode)
{
    return mode == RunMode::DoUninstall ? WizardPage::RemovalConfirm : PagesOf(mode).front().page;
}

QString PageTextOf(const PageText& text, RunMode mode, const CInstallEngine& engine)
{
    if (text.id == 0)
        return {};
    QStringList args;
    for (const TextArg arg : text.args) {
        switch (arg) {
        case TextArg::ModeTitle:
            args << ModeTitle(mode, engine.Manifest.version.prog, false);
            break;
        case TextArg::Product:
            args << engine.Manifest.version.prog;
            break;
        case TextArg::Version:
            args << engine.Manifest.version.ver;
            break;
        case TextArg::PreviousVersion:
            args << engine.PreviousVersion;
            break;
        case TextArg::AnnouncedSpace:
            args << QString::number(kAnnouncedSpace);
            break;
        }
    }
    return FormatMessage(text.id, args);
}

bool OptionIsShown(const OptionRow& option, const CInstallEngine& engine, bool companionNeeded)
{
    switch (option.shown) {
    case OptionShown::Never:
        return false;
    case OptionShown::Always:
        return true;
    case OptionShown::WithUpgradeAddress:
        return engine.Manifest.info.url.size() >= kShortestUpgradeUrl;
    case OptionShown::WithCompanionEditor:
        return companionNeeded;
    }
    return false;
}
