#include "wizard/WizardRun.h"

#include "app/NorvexSetupApp.h"
#include "wizard/NorvexSetupDlg.h"
#include "wizard/WidgetMessageBox.h"

#include <QApplication>
#include <QtGlobal>

#include <memory>

void UseWizard(CNorvexSetupApp& app)
{
    // Shared by the two steps; the run step takes it and destroys it when the
    // wizard closes. A start-up that fails drops it unseen with the app.
    auto prepared = std::make_shared<std::unique_ptr<CNorvexSetupDlg>>();
    const auto build = [](CNorvexSetupApp& self) {
        return std::make_unique<CNorvexSetupDlg>(self.Engine(), &self, nullptr,
                                                 CNorvexSetupDlg::Opening::Later);
    };
    app.SetPrepareStep([prepared, build](CNorvexSetupApp& self) {
        *prepared = build(self);
        // The window system's side too, while the digest is worked out.
        (*prepared)->PrepareNativeWindow();
    });
    app.SetRunStep([prepared, build](CNorvexSetupApp& self) {
        const std::unique_ptr<CNorvexSetupDlg> dialog = *prepared ? std::move(*prepared) : build(self);
        dialog->Open();
        return dialog->exec() == QDialog::Accepted ? 0 : 1;
    });
}

bool HasDisplay()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    return false;
}

int RunWindowed(int& argc, char** argv, const QStringList& arguments, const CCommandLine& commandLine,
                const std::function<void(CNorvexSetupApp&)>& adjust)
{
    QApplication application(argc, argv);
    CNorvexSetupDlg::PrepareFonts();
    CNorvexSetupApp app(arguments, commandLine);
    if (adjust)
        adjust(app);
    // Start-up errors come before the wizard, in boxes of their own.
    CWidgetMessageBox startupBox(nullptr, CWidgetMessageBox::ApplicationNameOf(commandLine.modulePath));
    app.SetMessageBox(&startupBox);
    UseWizard(app);
    app.InitInstance();
    return app.ExitCode();
}
