// The wizard's pages as data: one table per run mode, each row one page with
// its texts, the controls it shows, the option boxes' defaults, the button
// captions and what each button and box does. The wizard renders the rows and
// dispatches their commands; the unattended run walks the same rows with
// their defaults.
#pragma once

#include "engine/RunMode.h"

#include <QString>

#include <vector>

class CInstallEngine;

// The pages by name. Install, upgrade and repair share the names of the pages
// they have in common; the removal modes have pages of their own.
enum class WizardPage {
    Licence,
    Location,
    Ready,
    Installing,
    Shortcuts,
    Finished,
    RemovalChoice,
    RemovalConfirm,
    Removing,
    Removed,
    RemovingUserData,
    UserDataRemoved,
};

// What pressing a push button does.
enum class PageCommand {
    None,
    GoTo,                 // shows the row's target page
    Cancel,               // closes the wizard with the cancel result
    CancelWhenIdle,       // the same, except while a procedure runs
    ConfirmCancel,        // asks text 1103; yes raises the cancel flag
    SearchOrGoTo,         // the online search when its box is ticked, else the target page
    RunProcedure,         // the running-program check, then the mode's procedure
    CreateShortcuts,      // the shortcuts with the two boxes' choices, then the target page
    FinishActions,        // companion editor and product start by the boxes, then closes
    RepairOrHandOver,     // first box: the repair pages; else the removal copy takes over
    Remove,               // the removal procedure
    RemoveUserDataOrEnd,  // second box: the user-data removal; else closes with the OK result
    End,                  // closes the wizard with the OK result
};

// What clicking an option box does besides ticking it.
enum class OptionCommand {
    None,
    EnablesPrimary,  // the primary button follows the box
    OneOfTwo,        // the two boxes are one choice; the overall line follows the first
    PicksCaption,    // the primary caption follows the box
};

// When an option box shows.
enum class OptionShown {
    Never,
    Always,
    WithUpgradeAddress,   // the manifest names where to look for a newer installer
    WithCompanionEditor,  // the view offers the companion editor
};

// The values a page text is filled with, in the order of its placeholders.
enum class TextArg { ModeTitle, Product, Version, PreviousVersion, AnnouncedSpace };

// A message text with its arguments; id 0 is no text (the line is hidden).
struct PageText {
    int id = 0;
    std::vector<TextArg> args{};
};

struct OptionRow {
    OptionShown shown = OptionShown::Never;
    PageText text{};
    bool fitted = false;  // the box is sized to its text
    bool checked = false;
    OptionCommand onClick = OptionCommand::None;
};

struct ButtonRow {
    int caption = 0;  // message id; 0 hides the button
    PageCommand command = PageCommand::None;
    // Where GoTo, SearchOrGoTo and CreateShortcuts go.
    WizardPage target = WizardPage::Licence;
};

struct PageRow {
    WizardPage page = WizardPage::Licence;
    PageText description{};
    PageText stepLine{};
    PageText overallLine{};
    // The ready pages tell the room the run needs below the overall line.
    bool spaceLine = false;
    OptionRow first{};
    OptionRow second{};
    // The licence box with its two links (the second box's place).
    bool licenceLine = false;
    bool folder = false;
    bool stepBar = false;
    bool overallBar = false;
    ButtonRow primary{};
    ButtonRow secondary{};
    bool primaryEnabled = true;
    // OneOfTwo and PicksCaption: the text while the box is ticked and while not.
    int whenTicked = 0;
    int whenUnticked = 0;
};

// The rows of the run mode in page order.
const std::vector<PageRow>& PagesOf(RunMode mode);
// The row of page in the mode's table; the first row when the mode has no
// such page.
const PageRow& PageOf(RunMode mode, WizardPage page);
// Where page stands in the mode's table (0 first); -1 when it has no such page.
int PageIndex(RunMode mode, WizardPage page);
// The page the wizard opens on: the removal copy starts at the confirmation.
WizardPage FirstPage(RunMode mode);

// The text filled with the run's values; empty for id 0.
QString PageTextOf(const PageText& text, RunMode mode, const CInstallEngine& engine);
// Whether an option box shows; companionNeeded is the view's answer.
bool OptionIsShown(const OptionRow& option, const CInstallEngine& engine, bool companionNeeded);
