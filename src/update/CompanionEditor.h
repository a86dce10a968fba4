// The companion label editor offered on the wizard's last page: whether it
// is wanted and missing, and its installation from the two package entries
// that carry its own installer.
#pragma once

#include <QString>

#include <functional>

class CInstallEngine;
class CMessageBox;
class CWizardWindow;

// Where the companion installer records itself (current user's hive) and the
// oldest version that needs no new installation.
inline constexpr char16_t kCompanionKey[] = u"Software\\Tessaly\\Tessaly";
inline constexpr char16_t kCompanionMinimumVersion[] = u"5.21.1625.36";

class CCompanionEditor {
public:
    // All three must outlive the object. Questions and warnings go to the
    // message box without a caption of their own.
    CCompanionEditor(CInstallEngine& engine, CMessageBox& messageBox, CWizardWindow& window);

    // The manifest asks for the companion (info.tessaly not 0) and it has no
    // InstallPath, or its Version sorts before the minimum as text (code unit
    // by code unit, not as numbers).
    bool NeedCompanionEditor() const;

    // Unless agreed, asks first; false when the user declines, with nothing
    // done. Otherwise extracts "tessaly_Setup.cab" and "tessaly_vl.exe" into
    // the temporary folder (as Setup.cab and tessaly_vl.exe), runs the
    // installer elevated with the wizard hidden and waits for it, deletes
    // both files, and warns when the companion is still needed. True then,
    // whatever the outcome.
    bool InstallCompanionEditor(bool agreed);

    // Runs the companion installer elevated and waits until it has ended;
    // false when it did not start. Defaults to the system starter's StartElevatedAndWait.
    std::function<bool(const QString& program)> RunElevated;

private:
    CInstallEngine& m_engine;
    CMessageBox& m_messageBox;
    CWizardWindow& m_window;
};
