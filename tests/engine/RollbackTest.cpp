// Undoing the registry and file changes of a run, in the same run and from
// the journal a killed run leaves: values overwritten, keys made, a key tree
// deleted and rebuilt, the uninstall entry; a commit interrupted halfway;
// kept names that clash or are taken, a file gone before it was kept; a
// damaged or hostile journal, which changes nothing; the temporary files of
// a killed journal write.
#include "EngineTestSupport.h"

#include "support/SmallDisk.h"

#include "common/FileHelpers.h"
#include "platform/FileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <tuple>

using namespace ENGINETEST;
using PLATFORM::CRegistry;
using PLATFORM::RegRoot;

namespace {

// Every key and value of both hives, one line each.
void DumpKey(RegRoot root, const QString& key, QStringList& lines)
{
    QStringList subkeys;
    QList<PLATFORM::RegValue> values;
    if (CRegistry::EnumKey(root, key, &subkeys, &values) != PLATFORM::RegStatus::Ok)
        return;
    lines << QStringLiteral("%1 %2").arg(int(root)).arg(key);
    for (const PLATFORM::RegValue& v : values)
        lines << QStringLiteral("%1 %2 [%3] %4 %5")
                     .arg(int(root))
                     .arg(key, v.name)
                     .arg(v.type)
                     .arg(QString::fromLatin1(v.data.toHex()));
    for (const QString& subkey : subkeys)
        DumpKey(root, key.isEmpty() ? subkey : key + u'\\' + subkey, lines);
}

QString Registry()
{
    QStringList lines;
    DumpKey(RegRoot::CurrentUser, QString(), lines);
    DumpKey(RegRoot::LocalMachine, QString(), lines);
    return lines.join(u'\n');
}

CInstRegInfo Key(const QString& subkey, const QString& action,
                 std::vector<std::pair<QString, QString>> values)
{
    CInstRegInfo key;
    key.rootkey = QStringLiteral("HKCU");
    key.subkey = subkey;
    key.action = action;
    for (const auto& [name, data] : values) {
        CInstRegKeyInfo value;
        value.name = name;
        value.data = data;
        key.values.push_back(value);
    }
    return key;
}

QString UninstallKey()
{
    return QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LabelCloud");
}

struct RegistryCase {
    const char* name;
    std::function<void()> before;  // what the machine held before the run
    std::function<void(CInstallInfo&)> manifest;
};

const RegistryCase kRegistryCases[] = {
    {"NewKeysAndValues", [] {}, [](CInstallInfo&) {}},
    {"OverwrittenValues",
     [] {
         CRegistry::SetValue(RegRoot::CurrentUser, QStringLiteral("Software\\Tessaly\\LabelCloud"),
                             QStringLiteral("Version"), PLATFORM::RegSz, Sz(QStringLiteral("6.0")));
         CRegistry::SetValue(RegRoot::CurrentUser, QStringLiteral("Software\\Tessaly\\LabelCloud\\Settings"),
                             QStringLiteral("Theme"), PLATFORM::RegDword, CRegistry::DwordData(7));
         CRegistry::SetValue(RegRoot::LocalMachine, UninstallKey(), QStringLiteral("DisplayVersion"),
                             PLATFORM::RegSz, Sz(QStringLiteral("6.0")));
     },
     [](CInstallInfo&) {}},
    {"DeletedTreeRebuilt",
     [] {
         const QString tree = QStringLiteral("Software\\Old");
         CRegistry::SetValue(RegRoot::CurrentUser, tree, QString(), PLATFORM::RegSz,
                             Sz(QStringLiteral("default")));
         CRegistry::SetValue(RegRoot::CurrentUser, tree + QStringLiteral("\\Deep\\Deeper"),
                             QStringLiteral("kept"), PLATFORM::RegBinary, QByteArray("\x00\x01\x02", 3));
         CRegistry::CreateKey(RegRoot::CurrentUser, tree + QStringLiteral("\\Empty"));
     },
     [](CInstallInfo& m) {
         m.registry.push_back(Key(QStringLiteral("Software\\Old"), QStringLiteral("del"), {}));
         m.registry.push_back(Key(QStringLiteral("Software\\Old\\Deep"), QString(),
                                  {{QStringLiteral("new"), QStringLiteral("x")}}));
     }},
};

enum class Ending { InTheRun, FromTheJournal };

class RegistryRollbackTest : public EngineTest,
                             public testing::WithParamInterface<std::tuple<RegistryCase, Ending>> {};

TEST_P(RegistryRollbackTest, PutsEveryValueAndKeyBack)
{
    const auto& [c, ending] = GetParam();
    c.before();
    c.manifest(engine.Manifest);
    const QString before = Registry();

    engine.BeginChanges();
    ASSERT_TRUE(engine.DeployRegistry());
    ASSERT_TRUE(engine.RegisterUninstall());
    ASSERT_NE(Registry(), before);
    if (ending == Ending::InTheRun) {
        EXPECT_EQ(engine.RollBackChanges(), QStringList());
    } else {
        // The run is gone without a word; the next one finds its journal.
        ASSERT_TRUE(QFile::exists(engine.JournalPath()));
        CInstallEngine next;
        next.Manifest = SampleManifest();
        CRollback::Recovered what = CRollback::Recovered::Nothing;
        EXPECT_EQ(next.RecoverInterruptedRun(&what), QStringList());
        EXPECT_EQ(what, CRollback::Recovered::Undone);
    }
    EXPECT_EQ(Registry(), before);
    EXPECT_FALSE(QFile::exists(engine.JournalPath()));
}

INSTANTIATE_TEST_SUITE_P(Cases, RegistryRollbackTest,
                         testing::Combine(testing::ValuesIn(kRegistryCases),
                                          testing::Values(Ending::InTheRun, Ending::FromTheJournal)),
                         [](const testing::TestParamInfo<std::tuple<RegistryCase, Ending>>& param) {
                             return std::string(std::get<0>(param.param).name)
                                 + (std::get<1>(param.param) == Ending::InTheRun ? "InTheRun"
                                                                                 : "FromTheJournal");
                         });

class FileRollbackTest : public EngineTest {};

// A run that has noted file, holding "old", and kept it aside; journal may be
// empty for notes kept in memory.
void BeginKeepingOldFile(CRollback& changes, const QString& journal, const QString& file)
{
    TESTS::WriteFileBytes(file, "old");
    changes.Begin(journal);
    changes.NoteFile(file);
    ASSERT_TRUE(changes.Flush(nullptr));
    ASSERT_TRUE(changes.KeepAside(file, nullptr));
}

// Where Recover set the journal aside: the one other file of its folder
// named after it; empty when there is none.
QString JournalSetAside(const QString& journal)
{
    const QFileInfo info(journal);
    const QStringList names = info.dir().entryList({info.fileName() + QStringLiteral(".*")}, QDir::Files);
    return names.size() == 1 ? info.dir().filePath(names[0]) : QString();
}

// The problems of a journal not followed to its end: its own, then where the
// record went, which is out of the next run's way.
void ExpectSetAside(const QString& journal, const QStringList& problems, const QStringList& expected,
                    const QByteArray& text)
{
    const QString kept = JournalSetAside(journal);
    ASSERT_FALSE(kept.isEmpty());
    EXPECT_EQ(problems,
              expected + QStringList{QStringLiteral("the record of the changes is kept at ") + kept});
    EXPECT_FALSE(QFile::exists(journal));
    EXPECT_EQ(TESTS::ReadFileBytes(kept), text);
}

// Killed after the journal's commit line: the new files stay, the kept ones go.
TEST_F(FileRollbackTest, InterruptedCommitIsFinished)
{
    const QString file = TESTS::SandboxPath(QStringLiteral("app/program"));
    TESTS::WriteFileBytes(file, "old");
    const QString journal = TESTS::SandboxPath(QStringLiteral("state/app.journal"));
    CRollback changes;
    changes.Begin(journal);
    changes.NoteFile(file);
    ASSERT_TRUE(changes.Flush(nullptr));
    ASSERT_TRUE(changes.KeepAside(file, nullptr));
    TESTS::WriteFileBytes(file, "new");
    QFile j(journal);
    ASSERT_TRUE(j.open(QIODevice::Append));
    j.write("commit\n");
    j.close();

    CRollback::Recovered what = CRollback::Recovered::Nothing;
    EXPECT_EQ(CRollback::Recover(journal, &what), QStringList());
    EXPECT_EQ(what, CRollback::Recovered::Committed);
    EXPECT_EQ(TESTS::ReadFileBytes(file), "new");
    EXPECT_EQ(QDir(TESTS::SandboxPath(QStringLiteral("app"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{"program"});
    EXPECT_FALSE(QFile::exists(journal));
}

// A journal Recover finds damaged: nothing followed, the journal set aside.
void ExpectDamagedAndSetAside(const QString& journal, const QByteArray& text)
{
    CRollback::Recovered what = CRollback::Recovered::Nothing;
    const QStringList problems = CRollback::Recover(journal, &what);
    EXPECT_EQ(what, CRollback::Recovered::Unreadable);
    ExpectSetAside(journal, problems,
                   {QStringLiteral("cannot read the journal ") + journal + QStringLiteral(": damaged")},
                   text);
}

// A journal that names a relative path is not followed, nor deleted.
TEST_F(FileRollbackTest, DamagedJournalChangesNothing)
{
    const QString journal = TESTS::SandboxPath(QStringLiteral("state/app.journal"));
    TESTS::WriteFileBytes(TESTS::SandboxPath(QStringLiteral("victim")), "mine");
    const QByteArray text = "norvex-rollback 1\nF "
        + QFile::encodeName(TESTS::SandboxPath(QStringLiteral("victim"))).toPercentEncoding()
        + "\nF victim\n";
    TESTS::WriteFileBytes(journal, text);
    ExpectDamagedAndSetAside(journal, text);
    EXPECT_TRUE(QFile::exists(TESTS::SandboxPath(QStringLiteral("victim"))));

    // The next run's journal comes and goes without touching the record.
    CRollback next;
    next.Begin(journal);
    next.NoteFile(TESTS::SandboxPath(QStringLiteral("new")));
    ASSERT_TRUE(next.Flush(nullptr));
    EXPECT_EQ(next.Commit(), QStringList());
    EXPECT_EQ(TESTS::ReadFileBytes(JournalSetAside(journal)), text);
}

// A killed run whose previous file cannot be put back: the journal is kept
// for whoever sees to it, under a name the next run does not write.
TEST_F(FileRollbackTest, JournalOfAnUnfinishedUndoIsSetAside)
{
    const QString folder = TESTS::SandboxPath(QStringLiteral("app"));
    const QString file = folder + QStringLiteral("/program");
    const QString journal = TESTS::SandboxPath(QStringLiteral("state/app.journal"));
    CRollback changes;
    BeginKeepingOldFile(changes, journal, file);
    QFile::remove(file);
    ASSERT_TRUE(QDir().mkpath(file + QStringLiteral("/inside")));
    const QByteArray text = TESTS::ReadFileBytes(journal);

    CRollback::Recovered what = CRollback::Recovered::Nothing;
    const QStringList problems = CRollback::Recover(journal, &what);
    EXPECT_EQ(what, CRollback::Recovered::Undone);
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[0].startsWith(QStringLiteral("cannot restore ") + file))
        << problems[0].toStdString();
    ExpectSetAside(journal, problems, {problems[0]}, text);
}

// A kept file that cannot be put back is named, with where it is kept.
TEST_F(FileRollbackTest, WhatCannotBeRestoredIsNamed)
{
    const QString folder = TESTS::SandboxPath(QStringLiteral("app"));
    const QString file = folder + QStringLiteral("/program");
    CRollback changes;
    BeginKeepingOldFile(changes, QString(), file);
    // Something took the file's place that no rename can replace.
    QFile::remove(file);
    ASSERT_TRUE(QDir().mkpath(file + QStringLiteral("/inside")));
    const QStringList problems = changes.Undo();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].startsWith(QStringLiteral("cannot restore ") + file
                                       + QStringLiteral(" (the previous file is kept as ") + folder
                                       + QStringLiteral("/.nvxkeep")))
        << problems[0].toStdString();
    EXPECT_TRUE(QFile::exists(file + QStringLiteral("/inside")));
}

QByteArray Field(const QString& text)
{
    return text.toUtf8().toPercentEncoding();
}

// The name the journal keeps path under; empty when it names none.
QString KeptNameInJournal(const QString& journal, const QString& path)
{
    for (const QByteArray& line : TESTS::ReadFileBytes(journal).split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3 && f[0] == "K" && f[1] == Field(path))
            return QString::fromUtf8(QByteArray::fromPercentEncoding(f[2]));
    }
    return {};
}

// A new file under the name, as the run's writer puts it there: the kept
// link keeps the old bytes.
void Replace(const QString& path, const QByteArray& bytes)
{
    ASSERT_TRUE(QFile::remove(path));
    TESTS::WriteFileBytes(path, bytes);
}

// A commit whose journal can neither say so nor go keeps the previous files:
// the journal still undoes the run from them.
class ReadOnlyJournalTest : public FileRollbackTest {
protected:
    void TearDown() override
    {
        if (!mounted.isEmpty())
            TESTS::UnmountSmallDisk(mounted);
        FileRollbackTest::TearDown();
    }
    QString mounted;
};

TEST_F(ReadOnlyJournalTest, CommitKeepsThePreviousFiles)
{
    const QString state = TESTS::SandboxPath(QStringLiteral("state"));
    QString why;
    if (!TESTS::MountSmallDisk(state, 64 * 1024, &why))
        GTEST_SKIP() << why.toStdString();
    mounted = state;
    const QString file = TESTS::SandboxPath(QStringLiteral("app/program"));
    const QString journal = state + QStringLiteral("/app.journal");
    CRollback changes;
    BeginKeepingOldFile(changes, journal, file);
    const QString kept = KeptNameInJournal(journal, file);
    Replace(file, "new");
    ASSERT_TRUE(TESTS::MakeSmallDiskReadOnly(state, &why)) << why.toStdString();

    const QStringList problems = changes.Commit();
    EXPECT_TRUE(problems.contains(QStringLiteral("cannot delete the journal ") + journal
                                  + QStringLiteral(": Read-only file system")))
        << problems.join(u'\n').toStdString();
    EXPECT_EQ(TESTS::ReadFileBytes(kept), "old");

    CRollback::Recovered what = CRollback::Recovered::Nothing;
    CRollback::Recover(journal, &what);
    EXPECT_EQ(what, CRollback::Recovered::Undone);
    EXPECT_EQ(TESTS::ReadFileBytes(file), "old");
}

void PrintTo(Ending ending, std::ostream* os)
{
    *os << (ending == Ending::InTheRun ? "InTheRun" : "FromTheJournal");
}

// The run's end: undone in the run, or killed and undone by the next run.
class KeptNameTest : public EngineTest, public testing::WithParamInterface<Ending> {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        changes.Begin(journal);
    }
    // Undoes the run as its ending says; what could not be put back.
    QStringList End()
    {
        if (GetParam() == Ending::InTheRun)
            return changes.Undo();
        CRollback::Recovered what = CRollback::Recovered::Nothing;
        const QStringList problems = CRollback::Recover(journal, &what);
        EXPECT_EQ(what, CRollback::Recovered::Undone);
        return problems;
    }
    QStringList FolderEntries() const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    const QString folder = TESTS::SandboxPath(QStringLiteral("app"));
    const QString journal = TESTS::SandboxPath(QStringLiteral("state/app.journal"));
    CRollback changes;
};

// Two files of one folder drawn the same kept name: each note gets its own,
// so neither previous file is lost or put back in the other's place.
TEST_P(KeptNameTest, NotesOfOneRunNeverShareAName)
{
    const QString first = folder + QStringLiteral("/first");
    const QString second = folder + QStringLiteral("/second");
    TESTS::WriteFileBytes(first, "first 1.0");
    TESTS::WriteFileBytes(second, "second 1.0");
    int draws = 0;
    changes.SetNameSource([&draws] { return ++draws < 5 ? 0x0badf00du : quint32(draws); });
    changes.NoteFile(first);
    changes.NoteFile(second);
    ASSERT_TRUE(changes.Flush(nullptr));
    ASSERT_NE(KeptNameInJournal(journal, first), KeptNameInJournal(journal, second));
    ASSERT_TRUE(changes.KeepAside(first, nullptr));
    Replace(first, "first 2.0");
    // Killed here, the second file not yet kept nor replaced.
    if (GetParam() == Ending::InTheRun) {
        ASSERT_TRUE(changes.KeepAside(second, nullptr));
        Replace(second, "second 2.0");
    }

    EXPECT_EQ(End(), QStringList());
    EXPECT_EQ(TESTS::ReadFileBytes(first), "first 1.0");
    EXPECT_EQ(TESTS::ReadFileBytes(second), "second 1.0");
    EXPECT_EQ(FolderEntries(), (QStringList{"first", "second"}));
}

// A kept name something else took after it was chosen: the file is kept
// under a fresh name the journal knows, and what took the name stays.
TEST_P(KeptNameTest, NameTakenMeanwhileIsNeverOverwritten)
{
    const QString program = folder + QStringLiteral("/program");
    TESTS::WriteFileBytes(program, "old");
    changes.NoteFile(program);
    ASSERT_TRUE(changes.Flush(nullptr));
    const QString taken = KeptNameInJournal(journal, program);
    ASSERT_FALSE(taken.isEmpty());
    TESTS::WriteFileBytes(taken, "not the run's");

    ASSERT_TRUE(changes.KeepAside(program, nullptr));
    const QString kept = KeptNameInJournal(journal, program);
    EXPECT_NE(kept, taken);
    EXPECT_EQ(TESTS::ReadFileBytes(kept), "old");
    EXPECT_EQ(TESTS::ReadFileBytes(taken), "not the run's");
    Replace(program, "new");

    EXPECT_EQ(End(), QStringList());
    EXPECT_EQ(TESTS::ReadFileBytes(program), "old");
    EXPECT_EQ(TESTS::ReadFileBytes(taken), "not the run's");
    EXPECT_EQ(FolderEntries(), (QStringList{taken.mid(folder.size() + 1), "program"}));
}

// A noted file deleted before it was kept: the run's file at its name is
// new, and goes however the run ends.
TEST_P(KeptNameTest, FileGoneBeforeItWasKeptCountsAsNew)
{
    const QString program = folder + QStringLiteral("/program");
    TESTS::WriteFileBytes(program, "old");
    changes.NoteFile(program);
    ASSERT_TRUE(changes.Flush(nullptr));
    ASSERT_TRUE(QFile::remove(program));

    ASSERT_TRUE(changes.KeepAside(program, nullptr));
    EXPECT_EQ(KeptNameInJournal(journal, program), QString());
    TESTS::WriteFileBytes(program, "new");

    EXPECT_EQ(End(), QStringList());
    EXPECT_EQ(FolderEntries(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Endings, KeptNameTest, testing::Values(Ending::InTheRun, Ending::FromTheJournal),
                         [](const testing::TestParamInfo<Ending>& param) {
                             return param.param == Ending::InTheRun ? "InTheRun" : "FromTheJournal";
                         });

// A journal line that aims outside what a run of ours could have noted. The
// journal also names a user's file as new, so following any of it deletes
// that file.
struct HostileLine {
    const char* name;
    QByteArray (*line)();
};

QString Victim()
{
    return TESTS::SandboxPath(QStringLiteral("home/victim"));
}
QString Program()
{
    return TESTS::SandboxPath(QStringLiteral("app/program"));
}

void PrintTo(const HostileLine& c, std::ostream* os)
{
    *os << c.name;
}

class HostileJournalTest : public EngineTest, public testing::WithParamInterface<HostileLine> {};

TEST_P(HostileJournalTest, IsTreatedAsDamagedAndChangesNothing)
{
    const QString journal = TESTS::SandboxPath(QStringLiteral("state/app.journal"));
    TESTS::WriteFileBytes(Victim(), "mine");
    TESTS::WriteFileBytes(Program(), "program");
    TESTS::WriteFileBytes(TESTS::SandboxPath(QStringLiteral("home/.nvxkeep0123abcd")), "kept elsewhere");
    const QByteArray text = "norvex-rollback 1\nF " + Field(Victim()) + '\n' + GetParam().line() + '\n';
    TESTS::WriteFileBytes(journal, text);
    const auto before = TESTS::ReadFileBytes(Program());

    ExpectDamagedAndSetAside(journal, text);
    EXPECT_EQ(TESTS::ReadFileBytes(Victim()), "mine");
    EXPECT_EQ(TESTS::ReadFileBytes(Program()), before);
    EXPECT_EQ(TESTS::ReadFileBytes(TESTS::SandboxPath(QStringLiteral("home/.nvxkeep0123abcd"))),
              "kept elsewhere");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, HostileJournalTest,
    testing::Values(
        HostileLine{"KeptUnderAnyName", [] { return "K " + Field(Program()) + ' ' + Field(Victim()); }},
        HostileLine{"KeptUnderAnotherNameInItsFolder",
                    [] {
                        return "K " + Field(Program()) + ' '
                            + Field(TESTS::SandboxPath(QStringLiteral("app/victim")));
                    }},
        HostileLine{"KeptInAnotherFolder",
                    [] {
                        return "K " + Field(Program()) + ' '
                            + Field(TESTS::SandboxPath(QStringLiteral("home/.nvxkeep0123abcd")));
                    }},
        HostileLine{"KeptNameOfAnotherForm",
                    [] {
                        return "K " + Field(Program()) + ' '
                            + Field(TESTS::SandboxPath(QStringLiteral("app/.nvxkeep0123ABCD")));
                    }},
        HostileLine{"ParentAtTheEnd",
                    [] { return "F " + Field(TESTS::SandboxPath(QStringLiteral("app/.."))); }},
        HostileLine{"ParentInside",
                    [] { return "D " + Field(TESTS::SandboxPath(QStringLiteral("app/../home"))); }},
        HostileLine{"CurrentFolderInside",
                    [] { return "F " + Field(TESTS::SandboxPath(QStringLiteral("app/./program"))); }},
        HostileLine{"KeptFileUnderParent",
                    [] {
                        return "K " + Field(TESTS::SandboxPath(QStringLiteral("app/.."))) + ' '
                            + Field(TESTS::SandboxPath(QStringLiteral("app/.nvxkeep0123abcd")));
                    }},
        HostileLine{"RelativePath", [] { return QByteArray("F victim"); }},
        HostileLine{"CutShortByANul", [] { return "F " + Field(Program()) + "%00.new"; }}),
    TESTS::CaseName());

// What a journal write killed halfway leaves beside the journal goes at the
// next start, journal or not; a live writer's temporary file stays.
class JournalSweepTest : public EngineTest, public testing::WithParamInterface<bool> {};

TEST_P(JournalSweepTest, KilledWritesLeaveNothingBehind)
{
    const bool withJournal = GetParam();
    const QString folder = TESTS::SandboxPath(QStringLiteral("state"));
    const QString journal = folder + QStringLiteral("/app.journal");
    const QString added = TESTS::SandboxPath(QStringLiteral("app/added"));
    TESTS::WriteFileBytes(folder + QStringLiteral("/.nvxAb12Cd.part"), "norvex-rollback 1\nF ");
    if (withJournal) {
        TESTS::WriteFileBytes(journal, "norvex-rollback 1\nF " + Field(added) + '\n');
        TESTS::WriteFileBytes(added, "the killed run's");
    }

    CRollback::Recovered what = CRollback::Recovered::Nothing;
    EXPECT_EQ(CRollback::Recover(journal, &what), QStringList());
    EXPECT_EQ(what, withJournal ? CRollback::Recovered::Undone : CRollback::Recovered::Nothing);
    EXPECT_FALSE(QFile::exists(added));
    EXPECT_FALSE(QFileInfo::exists(folder));

    // Another product's run writing its journal there now keeps its file.
    PLATFORM::CFileWriter writer(folder + QStringLiteral("/other.journal"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(writer.Open());
    EXPECT_EQ(CRollback::Recover(journal, &what), QStringList());
    EXPECT_TRUE(QFile::exists(writer.TemporaryPath()));
    ASSERT_TRUE(writer.Write(QByteArray("norvex-rollback 1\n")));
    EXPECT_TRUE(writer.Commit());
    EXPECT_EQ(TESTS::ReadFileBytes(folder + QStringLiteral("/other.journal")), "norvex-rollback 1\n");
}

INSTANTIATE_TEST_SUITE_P(Journal, JournalSweepTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "Present" : "NeverWritten";
                         });

}  // namespace
