#include "update/UpgradeCheck.h"

#include "app/MessageBox.h"
#include "common/MD5Encode.h"
#include "common/TextFormat.h"
#include "manifest/InstallInfo.h"
#include "manifest/UpgradeInfo.h"
#include "platform/FileSystem.h"
#include "platform/ProgramStarter.h"
#include "platform/TempFiles.h"
#include "update/HttpDownload.h"
#include "update/WizardWindow.h"

#include <QFile>

#include <string_view>

namespace {

std::u16string_view CodeUnits(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())};
}

// Removes a file when it goes out of scope.
class CRemoveLater {
public:
    explicit CRemoveLater(QString path) : m_path(std::move(path)) {}
    CRemoveLater(const CRemoveLater&) = delete;
    CRemoveLater& operator=(const CRemoveLater&) = delete;
    ~CRemoveLater() { QFile::remove(m_path); }

private:
    QString m_path;
};

}  // namespace

bool IsNewerVersion(const QString& candidate, const QString& current)
{
    return CodeUnits(candidate) > CodeUnits(current);
}

CUpgradeCheck::CUpgradeCheck(const CInstallInfo& manifest, CMessageBox& messageBox, CWizardWindow& window)
    : StartDetached([](const QString& program, const QStringList& arguments) {
          return PLATFORM::SystemProgramStarter().StartDetached(program, arguments);
      }),
      m_manifest(manifest),
      m_messageBox(messageBox),
      m_window(window)
{
}

bool CUpgradeCheck::CheckForUpgrade(CDownloadProgress* progress)
{
    m_window.BeginWaitCursor();
    const bool started = Check(progress);
    m_window.EndWaitCursor();
    return started;
}

bool CUpgradeCheck::Check(CDownloadProgress* progress)
{
    if (m_manifest.info.url.size() <= 10)
        return false;
    // The empty file only keeps the name unique while its ".exe" twin is used.
    const QString reserved = CreateTempFileName(QStringLiteral("INI"));
    if (reserved.isEmpty())
        return false;
    const CRemoveLater removeReserved(reserved);
    const QString target = reserved + QStringLiteral(".exe");

    if (!HttpDownloadFile(m_manifest.info.url, target, GetTextString(TEXT::UpgradeCheckTitle), progress,
                          GetTextString(TEXT::UpgradeCheckLine)))
        return false;
    m_window.RestoreWaitCursor();

    CUpgradeInfo descriptor;
    const bool loaded = descriptor.Load(target);
    // The installer, if any, comes under the same name; nothing else may be
    // started in its place.
    QFile::remove(target);
    if (!loaded || !IsNewerVersion(descriptor.version, m_manifest.version.ver))
        return false;

    QString notes = FormatMessage(TEXT::UpgradeNotes, {descriptor.info});
    notes.replace(u'|', u'\n');
    const QString prompt = FormatMessage(1325, {descriptor.version, m_manifest.version.ver, notes});
    if (m_messageBox.Show(prompt, QString(), MessageIcon::Question, MessageButtons::YesNo)
        != MessageAnswer::Yes)
        return false;

    bool ok = HttpDownloadFile(descriptor.url, target, GetTextString(TEXT::InstallerDownloadTitle), progress,
                               GetTextString(TEXT::InstallerDownloadLine));
    // Only the installer the descriptor announced is run.
    const QString md5 = descriptor.md5.trimmed();
    if (ok && !md5.isEmpty())
        ok = GetMD5OfFile(target).compare(md5, Qt::CaseInsensitive) == 0;
    if (ok)
        ok = PLATFORM::SetMode(target, 0700) == 0;
    if (ok)
        ok = StartDetached(target, {});
    if (!ok) {
        QFile::remove(target);
        m_messageBox.Show(GetTextString(TEXT::UpgradeInstallerFailed), QString(), MessageIcon::None,
                          MessageButtons::Ok);
        return false;
    }
    m_window.CloseWizard();
    return true;
}
