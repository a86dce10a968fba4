// Every text the installer shows or writes for a user, in Simplified Chinese,
// Traditional Chinese and English, and the process-wide system language id
// that picks among them. The wizard's numbered messages come first; the
// installer's other texts follow under the names of TEXT::Id. A few texts
// read the same in every language (the fixed Chinese start-up errors, the
// upgrade check's and the companion editor's texts among them, and the
// reasons every module gives for a failure). It sits in common so that each
// module below app names its texts here too.
#pragma once

#include <QString>
#include <QtGlobal>

// Windows language ids as the installer uses them: low 10 bits primary
// language, high 6 bits sublanguage.
constexpr quint16 kLangChinesePrimary = 0x04;
constexpr quint16 kLangChineseTaiwan = 0x0404;
constexpr quint16 kLangChinesePrc = 0x0804;
constexpr quint16 kLangEnglishUs = 0x0409;

// Any Chinese, whatever its territory.
constexpr bool IsChineseLanguage(quint16 languageId)
{
    return (languageId & 0x3FF) == kLangChinesePrimary;
}

namespace TEXT {
// The texts beyond the numbered messages; every id is unique in the table.
enum Id : int {
    // Command line and console.
    SwitchList = 2001,
    UnknownSwitch,
    SwitchWithoutValue,
    SecondInstance,
    // The work procedures' own messages.
    FolderKeptLink = 2101,
    FolderKeptNotDeleted,
    FolderKeptOtherFiles,
    FolderKeptNotOurs,
    NoSpace,
    FolderNotWritable,
    RollbackIncomplete,
    RegistryStepName,
    RegistrationStepName,
    StepIncomplete,
    SpaceNeeded,
    SpaceNeededIn,
    SpaceSeparator,
    InterruptedCleanedUp,
    OldFilesKept,
    InterruptedUnreadable,
    InterruptedUndone,
    ShortcutSkipped,
    ShortcutsFailed,
    RepairNeedsInstaller,
    // Reasons a step gives for its failure.
    ReasonNoTempFile = 2201,
    ReasonTempFolderNotPrivate,
    ReasonCannotStart,
    ReasonDidNotStart,
    ReasonNoHandler,
    // The same in every language.
    NoDisplay = 2301,
    ErrorCaption,
    ManifestError,
    PackageError,
    CompanionEditorOffer,
    CompanionEditorQuestion,
    CompanionEditorFailed,
    UpgradeInstallerFailed,
    UpgradeCheckTitle,
    UpgradeCheckLine,
    UpgradeNotes,
    InstallerDownloadTitle,
    InstallerDownloadLine,
    DownloadProgress,
    DownloadCancelling,
    DownloadsUnavailable,
    InitialisationFailed,
    // Reasons common gives for a failure; the same in every language.
    CannotCreateFolder = 2401,
    ErrorNumber,
    // Reasons platform gives for a failure; the same in every language.
    CannotWrite = 2421,
    CannotRead,
    NotRegularFile,
    TempFileTakenAway,
    LinkHasNoName,
    LinkHasNoTarget,
    ControlCharactersInCommand,
    InvalidResourceType,
    DuplicateResource,
    CannotReadFile,
    CannotCopyFile,
    TooManyResources,
    CannotOpen,
    ChangedWhileRead,
    RegistryNotAFile,
    RegistryCannotCreateFolder,
    RegistryNewerVersion,
    // Reasons database gives for a failure; the same in every language.
    UnknownProcError = 2441,
    DatabaseNotOpen,
    NullVirtualMachine,
    InvalidScalarQuery,
    InvalidFieldIndex,
    InvalidFieldName,
    PackageNotAFile,
    PackageCannotBeOpened,
    PackageNotOpenedSafely,
    PackageNotATable,
    CannotReadPackage,
    CannotExtractTo,
    NoSuchEntry,
    Cancelled,
    SizeMismatch,
    DamagedData,
    DigestMismatch,
    OutOfMemory,
    // Reasons manifest gives for a failure; the same in every language.
    DocumentNotBuilt = 2471,
    // Reasons engine gives for a failure; the same in every language.
    CannotInstall = 2501,
    CannotInstallFileInto,
    CannotInstallInto,
    CannotWriteInto,
    NotAbsolutePath,
    NotBelowFolder,
    NoSuchKey,
    InvalidKeyPath,
    InvalidKey,
    CannotWriteValue,
    CannotDeleteKey,
    CannotRestoreValue,
    CannotRestoreKey,
    SymbolicLink,
    SpecialFolder,
    NoUninstallManifest,
    CannotRemoveInstallFolder,
    FilesNotDeleted,
    CannotRemoveInstalledFiles,
    CannotRemove,
    CannotRemoveFolder,
    StillThere,
    CannotKeepAside,
    CannotRestoreFile,
    CannotDeletePreviousFile,
    PreviousFilesKept,
    CannotDeleteJournal,
    CannotReadJournal,
    Damaged,
    JournalStays,
    JournalKept,
    CannotOpenLog,
    CannotWriteLog,
    CannotCreateMenuFolder,
    NotPlainName,
    CannotWriteLauncher,
    NoLinkFileName,
    CannotRegisterProduct,
    NotPlainProductName,
};
}  // namespace TEXT

// One row of the message table; the last row has id 0 and null texts. A text
// that reads the same in every language is in fixed, with the three language
// columns null.
struct MessageRecord {
    qint32 id;
    const char16_t* simplified;
    const char16_t* traditional;
    const char16_t* english;
    const char16_t* fixed = nullptr;
};

// The whole table: the numbered messages in ascending id order, then the
// TEXT::Id texts in ascending order, terminated by the id-0 row; count
// includes that row.
const MessageRecord* MessageTableRecords(int* count = nullptr);

// The text for id in the system language, or null when the table has no such
// id (id 0 included). The text lives as long as the program. Callers must not
// format a null text.
//   primary language not Chinese      -> English
//   Chinese, sublanguage 1 (0x0404)   -> Traditional, unless that is empty
//   any other Chinese                 -> Simplified
const char16_t* GetText(int id);

// GetText as a QString; a null QString when the id is unknown.
QString GetTextString(int id);
// The text for id in the language langId.
QString GetTextString(int id, quint16 langId);

// The system language id. Start-up records it once (SetSystemLanguageId);
// until then it is derived from the locale on first use.
quint16 GetSystemLanguageId();
void SetSystemLanguageId(quint16 langId);
