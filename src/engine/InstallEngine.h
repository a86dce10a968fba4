// The run's state record: paths, run mode, install locations, the previous
// installation and the loaded manifest. The engine operations are its members.
#pragma once

#include "common/Failure.h"
#include "database/PackageSource.h"
#include "engine/Rollback.h"
#include "engine/RunLog.h"
#include "engine/RunMode.h"
#include "manifest/InstallInfo.h"
#include "platform/Registry.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class CInstallCabDB;
class CStepProgress;

class CInstallEngine {
public:
    CInstallEngine();
    CInstallEngine(const CInstallEngine&) = delete;
    CInstallEngine& operator=(const CInstallEngine&) = delete;
    // Deletes the package file when it is a temporary one.
    virtual ~CInstallEngine();

    // Extracts one package entry from Package to targetPath (see
    // CInstallCabDB::ExtractFile); outLength may be null.
    bool ExtractPackageFile(const QString& name, const QString& targetPath, bool pump, int* outLength);
    // Whether targetPath already holds the entry `name` exactly as the
    // extraction would leave it (length, time, mode, digest); read only,
    // pumping messages. outLength receives the entry's length when it does.
    bool InstalledFileIsCurrent(const QString& name, const QString& targetPath, int* outLength);

    // Why the latest failure happened: what failed, the path or key, and the
    // cause ("cannot write /opt/Tessaly/X/bin/tool: Permission denied"). Every
    // operation fills it when something fails, also the steps that skip a
    // failure and carry on; success leaves it as it was.
    const CFailure& LastError() const { return m_lastError; }
    void ClearLastError() { m_lastError.Clear(); }
    // How many failures the run has had; a step that skips its failures can
    // still tell whether it had one.
    int FailureCount() const { return m_failureCount; }
    // Keeps the failure as the last error, logs it, and returns false; also
    // for the procedures' own steps (the removal hand-over).
    bool Fail(const CFailure& failure);

    // Install locations (engine/InstallLocations.cpp).
    // Fills ProductKey, InstallFolder, AppDataFolder and the previous
    // installation from the per-user key; turns Install into Upgrade (package
    // version greater, compared as text ignoring case) or Repair. Always true.
    virtual bool DetectPreviousInstall();
    // Replaces "$intallpath$" and "$appdatapath$" (each with or without the
    // '\' after it) by InstallFolder and AppDataFolder, and turns the other
    // '\' of such a text into '/'. Texts without a macro come back unchanged.
    virtual QString ExpandPathMacros(const QString& text) const;
    // Whether a window labelled with info.value exists (never for 0); its
    // X11 id goes to window when given.
    virtual bool FindRunningProgram(std::uint32_t* window = nullptr);

    // Files (engine/DeployFiles.cpp). Extracts every file entry that is not
    // "nodw" into its expanded folder, sums installedSize, moves the step bar
    // from 10 upwards and pauses after each file. False at the first failure
    // (folder not creatable or not absolute, entry missing or damaged,
    // cancel); files written before it stay. progress may be null.
    virtual bool DeployFiles(CStepProgress* progress);
    // What the file step is to write, in the manifest's order: every file
    // entry that is not "nodw", up to the first one that has no place here.
    struct DeployPlan {
        struct File {
            QString name;    // the package entry
            QString target;  // where it goes
        };
        std::vector<File> files;
        // Why the entry after the last of files has no place (see FileTarget);
        // not set when every entry has one.
        CFailure stop;
        // The entries to deploy, those after a stop included.
        int count = 0;
    };
    // The plan for the manifest and folders as they are now; nothing is
    // looked at on disk.
    DeployPlan PlanDeployment() const;

    // Registry (engine/DeployRegistry.cpp). Writes InstallPath and Version
    // under ProductKey, then deletes or writes each registry entry in order.
    // Always true; single failures are skipped.
    virtual bool DeployRegistry();

    // Shortcuts (engine/Shortcuts.cpp). A menu entry per link in the menu
    // folder named after version.prog; the "mainprog" link also on the
    // desktop, in Quick Launch (only when that folder exists) and, with
    // autostart 1, in Startup with "-autostart". Sets mainprogPath whatever
    // else fails.
    struct ShortcutsMade {
        // False only when the menu folder cannot be created.
        bool menuFolder = true;
        // Links left out: their target holds control characters, which no
        // desktop entry can carry.
        QStringList skipped;
        // Why entries could not be written; the run goes on without them.
        QStringList failures;
    };
    virtual ShortcutsMade CreateShortcuts(bool desktop, bool quickLaunch);
    // Deletes the menu folder named after info.prog and the main program's
    // extra copies. Always true.
    virtual bool RemoveShortcuts();
    // Writes the launcher entry standing for the link file path (a desktop
    // entry; the copy on the desktop gets the run bit). True when written.
    virtual bool CreateShellLink(const QString& target, const QString& file,
                                 const std::optional<QString>& description, const QString& arguments);

    // Registration and removal (engine/UninstallRegistration.cpp).
    // Saves uninstall.xml in InstallFolder and writes the entry in the list of
    // installed programs. Always true.
    virtual bool RegisterUninstall();
    // Deletes the manifest's keys that have values, empties InstallPath and
    // Version under ProductKey and deletes the uninstall entry. Always true.
    virtual bool RemoveRegistration(CStepProgress* progress);
    // Deletes ProductKey and the per-user data folder. Always true.
    virtual bool RemoveUserData(CStepProgress* progress);
    // Why a folder removal left the folder in place.
    enum class FolderKept {
        No,          // removed
        NotOurs,     // refused by the guard: not plainly the product's folder
        Link,        // a symbolic link: nothing is deleted through it
        NotDeleted,  // something in it could not be deleted
        OtherFiles,  // not created by the installation: only its files went
    };
    // What a folder removal did: whether it removed all it was to remove,
    // and why the folder stayed, if it did.
    struct FolderRemoval {
        bool removed = false;
        FolderKept kept = FolderKept::No;
    };
    // Deletes the installation folder at path, but only an absolute path to a
    // folder holding uninstall.xml that is neither a special, system or
    // registry-store folder nor the home folder nor anything above them, and
    // never through a symbolic link; not removed (and nothing deleted)
    // otherwise, and not removed when something in it could not be deleted.
    virtual FolderRemoval RemoveInstallFolder(const QString& path);
    // For a folder the installation did not create: deletes only what the
    // installation put there (the manifest's files below path, uninstall.xml,
    // the uninstaller), then the folders below path left empty; path itself
    // and everything else in it stay (kept: OtherFiles). Same guard as
    // RemoveInstallFolder; not removed when the guard refuses or an
    // installed file could not be deleted.
    virtual FolderRemoval RemoveInstalledFiles(const QString& path);

    // Checks before the first write (engine/Preflight.cpp).
    // What the file step will put on one file system: the folder it is
    // named by (InstallFolder, AppDataFolder, or a file's own folder) and
    // the bytes needed and free there.
    struct SpaceNeed {
        QString folder;
        qint64 needed = 0;
        qint64 free = 0;
    };
    // The bytes the deployed files (their package lengths, in whole blocks)
    // and uninstall.xml will take on each file system, InstallFolder's
    // first. Files they replace are kept until the run has succeeded, so
    // they free nothing meanwhile. The package is read once a run and the
    // figures kept while InstallFolder and AppDataFolder stay; the free
    // space is read each time. False, with the reason in failure (may be
    // null), when the package cannot be read: no failure of the run, which
    // meets the same fault in its file step.
    virtual bool MeasureSpace(std::vector<SpaceNeed>& needs, CFailure* failure = nullptr);
    // Whether InstallFolder can be created and takes a new file: the missing
    // folders are made, a probe file created and removed, then the folders
    // made are removed again. False, with the folder and the reason as the
    // last error, otherwise.
    virtual bool ProbeInstallFolder();

    // Undoing a run that did not finish (engine/Rollback.*). Begin before
    // the first change; the file, registry, shortcut and registration steps
    // note what they change. Commit once the run has succeeded; RollBack
    // after a failed or cancelled file step. Both return what they could not
    // do (also in the log).
    void BeginChanges();
    QStringList CommitChanges();
    QStringList RollBackChanges();
    // What a killed run of this product left noted in its journal is undone
    // (or its commit finished). what: whether there was such a journal and
    // what became of it. Returns what could not be put back or deleted, or
    // why the journal was not followed.
    QStringList RecoverInterruptedRun(CRollback::Recovered* what);
    // The product's journal, beside the registry store's hives; empty
    // without a plain product name.
    QString JournalPath() const;
    CRollback Changes;

    // Whether removal may take the installation folder whole: the
    // installation created it, or it is the product's default folder.
    bool OwnsInstallFolder(const QString& path) const;
    // The folder removal works on: the recorded InstallPath, else the folder
    // of the uninstall.xml that was loaded.
    QString RemovalFolder() const;

    QString ModulePath;
    QString ModuleFolder;  // ends with '/'
    // The package; empty in the removal modes. One reader serves the run.
    DATABASE::PackageSource Package;
    bool PackageIsTemporary = false;
    RunMode Mode = RunMode::Install;
    QString ProductKey;  // "Software\Tessaly\<info.prog>"
    QString PreviousInstallPath;
    QString PreviousVersion;
    bool PreviousInstallFound = false;
    // Recorded beside InstallPath: the first installation made the folder.
    bool PreviousFolderCreated = false;
    // This run's file step made the installation folder (first install only).
    bool InstallFolderCreated = false;
    QString ManifestPath;   // the uninstall.xml loaded in the removal modes
    QString InstallFolder;  // ends with '/'
    QString AppDataFolder;  // ends with '/'
    CInstallInfo Manifest;
    // Every change the operations make and every failure; closed (silent)
    // unless the run asked for a log.
    CRunLog Log;

protected:
    // Where a file entry goes, or empty with the reason when its folder is
    // not absolute or its name climbs out of it.
    QString FileTarget(const CInstFileInfo& file, CFailure& failure) const;
    // The folder chain up to the last '/', a failure recorded.
    bool CreateFolders(const QString& path);
    // DeleteDirectoryTree, logged when something was there.
    void RemoveFolder(const QString& folder);
    // Deletes the launcher entry standing for a link file path, logged.
    void RemoveLink(const QString& file);
    // Registry writes and deletes that log what they change and record why
    // they failed. Deleting a key that does not exist is no failure.
    bool SetRegistryString(PLATFORM::RegRoot root, const QString& subkey, const QString& text,
                           const std::optional<QString>& name = std::nullopt);
    bool SetRegistryValue(PLATFORM::RegRoot root, const QString& subkey, const QString& name, quint32 type,
                          const QByteArray& data);
    bool DeleteRegistryTree(PLATFORM::RegRoot root, const QString& subkey);

private:
    CFailure m_lastError;
    int m_failureCount = 0;
    // What MeasureSpace worked out, for the next call.
    struct MeasuredSpace {
        bool read = false;  // the package was read, or tried
        bool readable = false;
        CFailure readFailure;  // why it could not be
        QHash<QString, qint64> lengths;
        bool measured = false;  // the figures below are for these folders
        QString installFolder;
        QString appDataFolder;
        std::vector<SpaceNeed> needs;
        QStringList existing;  // per need: an existing folder on its file system
    };
    MeasuredSpace m_space;
    // Fills m_space's needs from its lengths and the plan for the current folders.
    void MeasureNeeds();
    // The run's package reader: it keeps the package open while DeployFiles
    // extracts entry after entry.
    std::unique_ptr<CInstallCabDB> m_package;
};
