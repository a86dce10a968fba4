// The online check for a newer installer: downloads the upgrade descriptor
// named by the manifest, asks the user about a newer version and hands over
// to the newer installer.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class CDownloadProgress;
class CInstallInfo;
class CMessageBox;
class CWizardWindow;

// True when candidate sorts after current, UTF-16 code unit by code unit,
// case-sensitive, a prefix sorting first. Text order, not numbers: 6.4 is
// newer than 6.32.
bool IsNewerVersion(const QString& candidate, const QString& current);

class CUpgradeCheck {
public:
    // All three must outlive the check. Questions and messages go to the
    // message box without a caption of their own.
    CUpgradeCheck(const CInstallInfo& manifest, CMessageBox& messageBox, CWizardWindow& window);

    // With info.url longer than 10 characters: downloads the descriptor into
    // a new "INI" temporary name with ".exe" appended, and when it offers a
    // newer version asks text 1325. On Yes the newer installer is downloaded
    // over it, checked against the descriptor's md5 when it has one, made
    // runnable (0700) and started; the wizard window is told to close and
    // the result is true. A failed download, digest or start is reported and
    // gives false. Every other way ends false without a message, and no
    // temporary file is left behind except the started installer.
    // progress: the display of both downloads; null copies them plainly.
    bool CheckForUpgrade(CDownloadProgress* progress);

    // Starts the downloaded installer without waiting; true when it started.
    // Defaults to the system starter; tests replace it.
    std::function<bool(const QString& program, const QStringList& arguments)> StartDetached;

private:
    bool Check(CDownloadProgress* progress);

    const CInstallInfo& m_manifest;
    CMessageBox& m_messageBox;
    CWizardWindow& m_window;
};
