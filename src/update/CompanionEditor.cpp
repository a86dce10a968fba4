#include "update/CompanionEditor.h"

#include "app/MessageBox.h"
#include "common/MessageTable.h"
#include "engine/InstallEngine.h"
#include "engine/RegistryHelpers.h"
#include "platform/ProgramStarter.h"
#include "platform/TempFiles.h"
#include "update/UpgradeCheck.h"
#include "update/WizardWindow.h"

#include <QFile>

CCompanionEditor::CCompanionEditor(CInstallEngine& engine, CMessageBox& messageBox, CWizardWindow& window)
    : RunElevated([](const QString& program) {
          return PLATFORM::SystemProgramStarter().StartElevatedAndWait(program, {}).has_value();
      }),
      m_engine(engine),
      m_messageBox(messageBox),
      m_window(window)
{
}

bool CCompanionEditor::NeedCompanionEditor() const
{
    if (m_engine.Manifest.info.tessaly == 0)
        return false;
    const QString key = QString::fromUtf16(kCompanionKey);
    if (RegQueryString(PLATFORM::RegRoot::CurrentUser, key, QStringLiteral("InstallPath")).isEmpty())
        return true;
    const QString version = RegQueryString(PLATFORM::RegRoot::CurrentUser, key, QStringLiteral("Version"));
    return IsNewerVersion(QString::fromUtf16(kCompanionMinimumVersion), version);
}

bool CCompanionEditor::InstallCompanionEditor(bool agreed)
{
    if (!agreed
        && m_messageBox.Show(GetTextString(TEXT::CompanionEditorQuestion), QString(), MessageIcon::Question,
                             MessageButtons::YesNo)
            != MessageAnswer::Yes)
        return false;

    // Without a private temporary folder there is nowhere safe to put them.
    const QString folder = GetTempDirectory();
    if (!folder.isEmpty()) {
        const QString package = folder + QStringLiteral("Setup.cab");
        const QString installer = folder + QStringLiteral("tessaly_vl.exe");
        // The companion installer copes without its package; the probe judges.
        m_engine.ExtractPackageFile(QStringLiteral("tessaly_Setup.cab"), package, false, nullptr);
        if (m_engine.ExtractPackageFile(QStringLiteral("tessaly_vl.exe"), installer, false, nullptr)) {
            m_window.HideWizard();
            RunElevated(installer);
            QFile::remove(package);
            QFile::remove(installer);
            m_window.ShowWizard();
        } else {
            QFile::remove(package);
        }
    }

    if (NeedCompanionEditor())
        m_messageBox.Show(GetTextString(TEXT::CompanionEditorFailed), QString(), MessageIcon::Warning,
                          MessageButtons::Ok);
    return true;
}
