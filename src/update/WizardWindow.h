// What the upgrade check and the companion editor need from the wizard's
// window. The wizard implements it; a run without a window keeps the
// defaults, which do nothing.
#pragma once

class CWizardWindow {
public:
    virtual ~CWizardWindow() = default;

    // The wait cursor while the upgrade check runs: shown, shown again after
    // a download (a progress window may have changed it), ended.
    virtual void BeginWaitCursor() {}
    virtual void RestoreWaitCursor() {}
    virtual void EndWaitCursor() {}

    // The newer installer has started: the wizard closes without installing.
    virtual void CloseWizard() {}

    // Hidden while the companion editor's installer runs, shown again after.
    virtual void HideWizard() {}
    virtual void ShowWizard() {}
};
