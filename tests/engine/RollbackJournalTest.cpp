// The journal's lines: a journal in the form runs have always written is read
// note by note and written back byte for byte; a line that aims anywhere a
// note could not is refused.
#include "engine/RollbackJournal.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(RollbackJournal, JournalIsReadAndWrittenBackUnchanged)
{
    const QByteArray journal =
        "norvex-rollback 1\n"
        "D %2Fopt%2FTessaly%2FDemo\n"
        "F %2Fopt%2FTessaly%2FDemo%2Fa%20b.txt\n"
        "K %2Fopt%2FTessaly%2FDemo%2Frun.sh %2Fopt%2FTessaly%2FDemo%2F.nvxkeep0000beef\n"
        "N 2 SOFTWARE%5CTessaly\n"
        "T 1 Software%5COld\n"
        "V 1 Software%5CTessaly Path 1 2f006f007000\n"
        "V 2 SOFTWARE%5CTessaly %C3%A9t%C3%A9 none\n"
        "V 0 .demo  4 -\n"
        "commit\n";
    std::vector<RollbackNote> notes;
    bool committed = false;
    ASSERT_TRUE(CRollbackJournal::Load(journal, notes, committed));
    EXPECT_TRUE(committed);
    ASSERT_EQ(notes.size(), 8u);
    EXPECT_EQ(notes[1].path, QStringLiteral("/opt/Tessaly/Demo/a b.txt"));
    EXPECT_EQ(notes[2].kind, NoteKind::KeptFile);
    EXPECT_EQ(notes[2].aside, QStringLiteral("/opt/Tessaly/Demo/.nvxkeep0000beef"));
    EXPECT_EQ(notes[3].path, QStringLiteral("SOFTWARE\\Tessaly"));
    EXPECT_EQ(notes[5].data, QByteArray::fromHex("2f006f007000"));
    EXPECT_FALSE(notes[6].existed);
    EXPECT_EQ(notes[6].name, QString::fromUtf8("été"));
    EXPECT_TRUE(notes[7].existed);
    EXPECT_TRUE(notes[7].name.isEmpty());
    EXPECT_TRUE(notes[7].data.isEmpty());

    CRollbackJournal written;
    const QString text = written.With(notes, 0, notes.size());
    EXPECT_EQ(text.toUtf8() + "commit\n", journal);
}

TEST(RollbackJournal, LinesAimingElsewhereAreRefused)
{
    const char* const lines[] = {
        "D relative/folder",                         // not absolute
        "F /opt/Tessaly/../../etc/passwd",           // climbs
        "F /opt/Tessaly/a%00b",                      // a NUL cuts the path short
        "K /opt/Demo/run.sh /tmp/.nvxkeep0000beef",  // kept in another folder
        "K /opt/Demo/run.sh /opt/Demo/anything",     // not a kept name
        "N 9 SOFTWARE%5CTessaly",                    // no such root
        "T 1 ",                                      // no key
        "V 1 Software%5CTessaly Path 1",             // fields missing
        "X /opt/Tessaly",                            // no such kind
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        RollbackNote note{NoteKind::Folder, {}};
        EXPECT_FALSE(CRollbackJournal::Parse(QString::fromLatin1(line), note));
        std::vector<RollbackNote> notes;
        bool committed = false;
        EXPECT_FALSE(
            CRollbackJournal::Load(QByteArray("norvex-rollback 1\n") + line + '\n', notes, committed));
    }
    std::vector<RollbackNote> notes;
    bool committed = false;
    EXPECT_FALSE(CRollbackJournal::Load("norvex-rollback 2\n", notes, committed));
}

}  // namespace
