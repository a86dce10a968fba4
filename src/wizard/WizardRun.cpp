#include "wizard/WizardRun.h"

#include "app/NorvexSetupApp.h"
#include "wizard/NorvexSetupDlg.h"

#include <QtGlobal>

int RunWizard(CNorvexSetupApp& app)
{
    CNorvexSetupDlg dialog(app.Engine(), &app);
    return dialog.exec() == QDialog::Accepted ? 0 : 1;
}

bool HasDisplay()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    return false;
}
