// What the work procedures need from whoever shows them: the wizard's window,
// the unattended console, or a test recorder. The procedures decide every
// text and position; a view only puts them in front of the user. Messages and
// questions go through the message box interface (app/MessageBox.h).
#pragma once

#include "app/PageTable.h"
#include "engine/RunMode.h"

#include <QString>

// The two status lines: the one above the step bar and the one above the
// overall bar (the wizard's statics 1003 and 1004).
enum class StatusLine { Step = 1003, Overall = 1004 };

class CProcedureView {
public:
    virtual ~CProcedureView() = default;

    // The page routine of the run mode: texts, visible controls, buttons. A
    // procedure shows its own page first and the following page at its end.
    virtual void ShowPage(RunMode mode, WizardPage page) = 0;

    // Sets a status line; an empty text hides it.
    virtual void SetStatusText(StatusLine line, const QString& text) = 0;

    // Bar positions, 0 to 100; the bar is repainted at once.
    virtual void SetStepBar(int position) = 0;
    virtual void SetOverallBar(int position) = 0;

    // Enables or disables the secondary button and the close button together;
    // a procedure disables them while it runs.
    virtual void EnableCancelButtons(bool enable) = 0;

    // The status lines and bars now describe a new step: the window repaints,
    // the console writes one progress line.
    virtual void Repaint() = 0;

    // Lets the user interface process what is pending (the cancel command
    // among it). The default is the process-wide PumpMessages.
    virtual void Pump();

    // Ends the run of the window: with the OK result or the cancel result.
    virtual void Close(bool ok) = 0;

    // The companion editor offered on the last page. Views that cannot offer
    // it (the console) keep the defaults: never needed.
    virtual bool NeedCompanionEditor();
    // agreed: the user ticked the offer; otherwise the editor's own
    // installation asks first.
    virtual void InstallCompanionEditor(bool agreed);
};
