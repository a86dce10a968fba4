#include "support/CaseName.h"

#include "common/MessageTable.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace {

enum class Column { Simplified, Traditional, English };

struct LanguageCase {
    const char* name;
    quint16 langId;
    Column column;
};

// A few rows typed out independently of the table, covering full-width
// punctuation, doubled blanks, line breaks, placeholders and trailing blanks.
struct RowCase {
    int id;
    const char16_t* simplified;
    const char16_t* traditional;  // empty: falls back to Simplified
    const char16_t* english;
};

const RowCase kRows[] = {
    {1001, u"Tessaly", u"Tessaly", u"Tessaly"},
    {1003, u" - 安装程序", u" - 安裝程式", u" - Setup"},
    {1102, u"%s 正在运行中，是否关闭 %s 后重试。", u"%s 正在執行中，是否關閉 %s 後重試。",
     u"%s is running, whether to close the %s and try again."},
    {1201, u"删除", u"", u"Delete"},
    {1204, u"继续", u"", u"Continue"},
    {1205, u"取消", u"", u"Cancel"},
    {1206, u"卸载", u"卸載", u"Uninstall"},
    {1303, u"接受 %s 的 \n许可条款\n 和 \n隐私声明", u"接受 %s 的 \n許可條款\n 和 \n隱私聲明",
     u"Accept \nlicense agreement\nand\nprivacy statement"},
    {1308, u"安装程序大约需要 %d MB 的安装空间。", u"安裝程式大約需要 %d MB 的安裝空間。",
     u"Setup requires about %d MB of the installation space. "},
    {1314, u"正在安装程序文件 ...", u"正在安裝程式檔案 ...", u"Setup program file  ..."},
    {1405, u"正在下载  升级文件 ...", u"正在下載  升級檔案 ...", u"Download upgrade files ..."},
    {1608, u"%s\n\n正在卸载 %s。", u"%s\n\n正在卸载 %s。", u"%s\n\nUnloading %s "},
    {1610, u"正在移除注册程序信息 ...", u"正在移除注册程序信息 ...",
     u"Removing registration information ..."},
    {1615, u"正在删除用户文件 ...", u"正在刪除使用者檔案 ...", u"Deleting user files ..."},
};

const int kAllIds[] = {1001, 1003, 1101, 1102, 1103, 1104, 1105, 1106, 1201, 1202, 1203, 1204, 1205,
                       1206, 1301, 1302, 1303, 1304, 1307, 1308, 1309, 1310, 1311, 1312, 1313, 1314,
                       1315, 1316, 1317, 1318, 1319, 1320, 1321, 1322, 1323, 1324, 1325, 1401, 1402,
                       1403, 1404, 1405, 1406, 1407, 1501, 1502, 1503, 1504, 1505, 1506, 1601, 1602,
                       1603, 1604, 1605, 1606, 1607, 1608, 1609, 1610, 1611, 1612, 1613, 1614, 1615};

// Every named text, typed out: the table holds each of them once.
const int kNamedIds[] = {
    TEXT::SwitchList,
    TEXT::UnknownSwitch,
    TEXT::SwitchWithoutValue,
    TEXT::SecondInstance,
    TEXT::FolderKeptLink,
    TEXT::FolderKeptNotDeleted,
    TEXT::FolderKeptOtherFiles,
    TEXT::FolderKeptNotOurs,
    TEXT::NoSpace,
    TEXT::FolderNotWritable,
    TEXT::RollbackIncomplete,
    TEXT::RegistryStepName,
    TEXT::RegistrationStepName,
    TEXT::StepIncomplete,
    TEXT::SpaceNeeded,
    TEXT::SpaceNeededIn,
    TEXT::SpaceSeparator,
    TEXT::InterruptedCleanedUp,
    TEXT::OldFilesKept,
    TEXT::InterruptedUnreadable,
    TEXT::InterruptedUndone,
    TEXT::ShortcutSkipped,
    TEXT::ShortcutsFailed,
    TEXT::RepairNeedsInstaller,
    TEXT::ReasonNoTempFile,
    TEXT::ReasonTempFolderNotPrivate,
    TEXT::ReasonCannotStart,
    TEXT::ReasonDidNotStart,
    TEXT::ReasonNoHandler,
    TEXT::NoDisplay,
    TEXT::ErrorCaption,
    TEXT::ManifestError,
    TEXT::PackageError,
    TEXT::CompanionEditorOffer,
    TEXT::CompanionEditorQuestion,
    TEXT::CompanionEditorFailed,
    TEXT::UpgradeInstallerFailed,
    TEXT::UpgradeCheckTitle,
    TEXT::UpgradeCheckLine,
    TEXT::UpgradeNotes,
    TEXT::InstallerDownloadTitle,
    TEXT::InstallerDownloadLine,
    TEXT::DownloadProgress,
    TEXT::DownloadCancelling,
    TEXT::DownloadsUnavailable,
    TEXT::InitialisationFailed,
    TEXT::CannotCreateFolder,
    TEXT::ErrorNumber,
    TEXT::CannotWrite,
    TEXT::CannotRead,
    TEXT::NotRegularFile,
    TEXT::TempFileTakenAway,
    TEXT::LinkHasNoName,
    TEXT::LinkHasNoTarget,
    TEXT::ControlCharactersInCommand,
    TEXT::InvalidResourceType,
    TEXT::DuplicateResource,
    TEXT::CannotReadFile,
    TEXT::CannotCopyFile,
    TEXT::TooManyResources,
    TEXT::CannotOpen,
    TEXT::ChangedWhileRead,
    TEXT::RegistryNotAFile,
    TEXT::RegistryCannotCreateFolder,
    TEXT::RegistryNewerVersion,
    TEXT::UnknownProcError,
    TEXT::DatabaseNotOpen,
    TEXT::NullVirtualMachine,
    TEXT::InvalidScalarQuery,
    TEXT::InvalidFieldIndex,
    TEXT::InvalidFieldName,
    TEXT::PackageNotAFile,
    TEXT::PackageCannotBeOpened,
    TEXT::PackageNotOpenedSafely,
    TEXT::PackageNotATable,
    TEXT::CannotReadPackage,
    TEXT::CannotExtractTo,
    TEXT::NoSuchEntry,
    TEXT::Cancelled,
    TEXT::SizeMismatch,
    TEXT::DamagedData,
    TEXT::DigestMismatch,
    TEXT::OutOfMemory,
    TEXT::DocumentNotBuilt,
    TEXT::CannotInstall,
    TEXT::CannotInstallFileInto,
    TEXT::CannotInstallInto,
    TEXT::CannotWriteInto,
    TEXT::NotAbsolutePath,
    TEXT::NotBelowFolder,
    TEXT::NoSuchKey,
    TEXT::InvalidKeyPath,
    TEXT::InvalidKey,
    TEXT::CannotWriteValue,
    TEXT::CannotDeleteKey,
    TEXT::CannotRestoreValue,
    TEXT::CannotRestoreKey,
    TEXT::SymbolicLink,
    TEXT::SpecialFolder,
    TEXT::NoUninstallManifest,
    TEXT::CannotRemoveInstallFolder,
    TEXT::FilesNotDeleted,
    TEXT::CannotRemoveInstalledFiles,
    TEXT::CannotRemove,
    TEXT::CannotRemoveFolder,
    TEXT::StillThere,
    TEXT::CannotKeepAside,
    TEXT::CannotRestoreFile,
    TEXT::CannotDeletePreviousFile,
    TEXT::PreviousFilesKept,
    TEXT::CannotDeleteJournal,
    TEXT::CannotReadJournal,
    TEXT::Damaged,
    TEXT::JournalStays,
    TEXT::JournalKept,
    TEXT::CannotOpenLog,
    TEXT::CannotWriteLog,
    TEXT::CannotCreateMenuFolder,
    TEXT::NotPlainName,
    TEXT::CannotWriteLauncher,
    TEXT::NoLinkFileName,
    TEXT::CannotRegisterProduct,
    TEXT::NotPlainProductName,
};

QString Text(const char16_t* t)
{
    return t ? QString::fromUtf16(t) : QStringLiteral("<null>");
}

QStringList Placeholders(const char16_t* t)
{
    QStringList out;
    auto it = QRegularExpression(QStringLiteral("%[sd1-9]")).globalMatch(QString::fromUtf16(t));
    while (it.hasNext())
        out << it.next().captured();
    return out;
}

void PrintTo(const LanguageCase& c, std::ostream* os)
{
    *os << c.name;
}

class GetTextByLanguage : public testing::TestWithParam<LanguageCase> {};

TEST_P(GetTextByLanguage, PicksColumnWithFallback)
{
    const LanguageCase& lang = GetParam();
    SetSystemLanguageId(lang.langId);
    for (const RowCase& row : kRows) {
        SCOPED_TRACE(row.id);
        const char16_t* expected = row.english;
        if (lang.column == Column::Simplified)
            expected = row.simplified;
        else if (lang.column == Column::Traditional)
            expected = row.traditional[0] ? row.traditional : row.simplified;
        EXPECT_EQ(Text(GetText(row.id)), Text(expected));
        EXPECT_EQ(GetTextString(row.id), Text(expected));
    }
}

TEST_P(GetTextByLanguage, UnknownIdsGiveNull)
{
    SetSystemLanguageId(GetParam().langId);
    for (int id : {1305, 0, -1, 1000, 1002, 1207, 1616, 65536 + 1204}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(GetText(id), nullptr);
        EXPECT_TRUE(GetTextString(id).isNull());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Languages, GetTextByLanguage,
    testing::Values(LanguageCase{"Taiwan_0404", 0x0404, Column::Traditional},
                    LanguageCase{"Prc_0804", 0x0804, Column::Simplified},
                    LanguageCase{"HongKong_0C04", 0x0C04, Column::Simplified},
                    LanguageCase{"Singapore_1004", 0x1004, Column::Simplified},
                    LanguageCase{"Macao_1404", 0x1404, Column::Simplified},
                    LanguageCase{"ChineseNeutral_0004", 0x0004, Column::Simplified},
                    LanguageCase{"EnglishUs_0409", 0x0409, Column::English},
                    LanguageCase{"German_0407", 0x0407, Column::English},
                    LanguageCase{"GermanPrimary_0007", 0x0007, Column::English},
                    LanguageCase{"Japanese_0411", 0x0411, Column::English},
                    // Primary language 0x204 with sublanguage bits of 0x0404: not Chinese.
                    LanguageCase{"Primary204_0604", 0x0604, Column::English}),
    TESTS::CaseName());

TEST(MessageTable, TaiwanShowsSimplifiedContinueButTraditionalUninstall)
{
    SetSystemLanguageId(0x0404);
    EXPECT_EQ(Text(GetText(1204)), QStringLiteral("继续"));
    EXPECT_EQ(Text(GetText(1206)), QStringLiteral("卸載"));
}

// The numbered messages come first, then the named texts, each part in
// ascending order, so no two ids can collide; the id-0 row ends the table.
TEST(MessageTable, HoldsTheKnownIdsThenTheNamedTextsWithTerminator)
{
    int count = 0;
    const MessageRecord* records = MessageTableRecords(&count);
    ASSERT_EQ(std::size(kAllIds), size_t(65));
    ASSERT_GT(count, 66);
    for (int i = 0; i < 65; ++i)
        EXPECT_EQ(records[i].id, kAllIds[i]) << "row " << i;
    for (int i = 65; i + 1 < count; ++i) {
        EXPECT_GT(records[i].id, TEXT::SwitchList - 1) << "row " << i;
        EXPECT_GT(records[i].id, records[i - 1].id) << "row " << i;
    }
    const MessageRecord& last = records[count - 1];
    EXPECT_EQ(last.id, 0);
    EXPECT_EQ(last.simplified, nullptr);
    EXPECT_EQ(last.traditional, nullptr);
    EXPECT_EQ(last.english, nullptr);
    EXPECT_EQ(last.fixed, nullptr);
}

// Every named text has its three languages, or is explicitly the same in
// every language; either way GetText finds it.
TEST(MessageTable, NamedTextsHaveThreeLanguagesOrOneFixedText)
{
    int count = 0;
    const MessageRecord* records = MessageTableRecords(&count);
    for (int i = 65; i + 1 < count; ++i) {
        const MessageRecord& r = records[i];
        SCOPED_TRACE(r.id);
        if (r.fixed) {
            EXPECT_EQ(r.simplified, nullptr);
            EXPECT_EQ(r.traditional, nullptr);
            EXPECT_EQ(r.english, nullptr);
            EXPECT_FALSE(Text(r.fixed).isEmpty());
            for (const quint16 lang : {kLangChinesePrc, kLangChineseTaiwan, kLangEnglishUs}) {
                SetSystemLanguageId(lang);
                EXPECT_EQ(Text(GetText(r.id)), Text(r.fixed));
            }
            continue;
        }
        ASSERT_NE(r.simplified, nullptr);
        ASSERT_NE(r.traditional, nullptr);
        ASSERT_NE(r.english, nullptr);
        EXPECT_FALSE(Text(r.simplified).isEmpty());
        EXPECT_FALSE(Text(r.traditional).isEmpty());
        EXPECT_FALSE(Text(r.english).isEmpty());
        EXPECT_EQ(Placeholders(r.traditional), Placeholders(r.simplified));
        EXPECT_EQ(Placeholders(r.english), Placeholders(r.simplified));
        const struct {
            quint16 lang;
            const char16_t* text;
        } picks[] = {{kLangChinesePrc, r.simplified},
                     {kLangChineseTaiwan, r.traditional},
                     {kLangEnglishUs, r.english}};
        for (const auto& pick : picks) {
            EXPECT_EQ(GetTextString(r.id, pick.lang), Text(pick.text));
            SetSystemLanguageId(pick.lang);
            EXPECT_EQ(Text(GetText(r.id)), Text(pick.text));
        }
    }
}

// No two names share an id, and the table has a row for every name and for
// nothing else, with a text in each language.
TEST(MessageTable, HoldsEveryNamedTextOnce)
{
    int count = 0;
    const MessageRecord* records = MessageTableRecords(&count);
    std::vector<int> inTable;
    for (int i = 65; i + 1 < count; ++i)
        inTable.push_back(records[i].id);
    std::vector<int> named(std::begin(kNamedIds), std::end(kNamedIds));
    std::sort(named.begin(), named.end());
    EXPECT_EQ(std::adjacent_find(named.begin(), named.end()), named.end());
    EXPECT_EQ(inTable, named);
    for (const int id : kNamedIds) {
        SCOPED_TRACE(id);
        for (const quint16 lang : {kLangChinesePrc, kLangChineseTaiwan, kLangEnglishUs})
            EXPECT_FALSE(GetTextString(id, lang).isEmpty());
    }
}

// A few reasons of the lower modules typed out, in every language the same.
TEST(MessageTable, FailureReasonsReadTheSameInEveryLanguage)
{
    const struct {
        int id;
        const char16_t* text;
    } reasons[] = {
        {TEXT::CannotWrite, u"cannot write"},
        {TEXT::UnknownProcError, u"未知的错误"},
        {TEXT::InvalidResourceType, u"invalid resource type name \"%1\""},
        {TEXT::JournalStays, u"the record of the changes stays at "},
        {TEXT::CannotRestoreFile, u"cannot restore %1 (the previous file is kept as %2)"},
    };
    for (const auto& reason : reasons) {
        SCOPED_TRACE(reason.id);
        for (const quint16 lang : {kLangChinesePrc, kLangChineseTaiwan, kLangEnglishUs})
            EXPECT_EQ(GetTextString(reason.id, lang), Text(reason.text));
    }
}

// Every numbered row must format the same way in each column, and the
// Traditional column must really be Traditional wording except where the
// table keeps the Simplified text on purpose.
TEST(MessageTable, ColumnsAreConsistent)
{
    const MessageRecord* records = MessageTableRecords();
    for (int i = 0; i < 65; ++i) {
        const MessageRecord& r = records[i];
        SCOPED_TRACE(r.id);
        ASSERT_NE(r.simplified, nullptr);
        ASSERT_NE(r.traditional, nullptr);
        ASSERT_NE(r.english, nullptr);
        EXPECT_EQ(r.fixed, nullptr);
        EXPECT_FALSE(Text(r.simplified).isEmpty());
        EXPECT_FALSE(Text(r.english).isEmpty());

        const QString simplified = Text(r.simplified);
        const QString traditional = Text(r.traditional);
        if (r.id >= 1201 && r.id <= 1205) {
            EXPECT_TRUE(traditional.isEmpty());
        } else if (r.id == 1001 || (r.id >= 1608 && r.id <= 1610)) {
            EXPECT_EQ(traditional, simplified);
        } else {
            EXPECT_NE(traditional, simplified);
            EXPECT_EQ(Placeholders(r.traditional), Placeholders(r.simplified));
            EXPECT_EQ(traditional.count('\n'), simplified.count('\n'));
        }
        // The English consent line names no product; everything else formats alike.
        if (r.id != 1303) {
            EXPECT_EQ(Placeholders(r.english), Placeholders(r.simplified));
        }
    }
}

TEST(MessageTable, LanguageComesFromLocaleUntilRecorded)
{
    setenv("LC_ALL", "zh_TW.UTF-8", 1);
    EXPECT_EQ(GetSystemLanguageId(), 0x0404);
    EXPECT_EQ(Text(GetText(1206)), QStringLiteral("卸載"));

    // Once derived it stays, as the language is taken once per run.
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EQ(GetSystemLanguageId(), 0x0404);

    SetSystemLanguageId(0x0409);
    EXPECT_EQ(GetSystemLanguageId(), 0x0409);
    EXPECT_EQ(Text(GetText(1206)), QStringLiteral("Uninstall"));
    unsetenv("LC_ALL");
}

}  // namespace
