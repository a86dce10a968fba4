#include "engine/Rollback.h"

#include "common/FileHelpers.h"
#include "common/MessageTable.h"
#include "platform/FileSystem.h"
#include "platform/FileWriter.h"

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <iterator>

void CRollback::Reset()
{
    m_active = false;
    m_journal.Reset();
    m_notes.clear();
    m_flushed = 0;
    m_ids.clear();
    m_files.clear();
    m_asides.clear();
}

void CRollback::Begin(const QString& journalPath)
{
    Reset();
    m_undone.clear();
    m_active = true;
    m_journal.Begin(journalPath);
}

bool CRollback::Noted(const QString& id)
{
    if (m_ids.contains(id))
        return true;
    m_ids.insert(id);
    return false;
}

void CRollback::Add(Note note)
{
    m_notes.push_back(std::move(note));
}

bool CRollback::Flush(CFailure* failure)
{
    if (!m_active || m_flushed == m_notes.size())
        return true;
    if (!m_journal.Replace(m_journal.With(m_notes, m_flushed, m_notes.size()), failure))
        return false;
    m_flushed = m_notes.size();
    return true;
}

bool CRollback::Rewrite(CFailure* failure)
{
    if (m_flushed == 0)
        return true;
    return m_journal.Replace(m_journal.With(m_notes, 0, m_flushed), failure);
}

QStringList DeleteKeptFiles(const std::vector<RollbackNote>& notes)
{
    QStringList problems;
    for (const RollbackNote& note : notes) {
        if (note.kind != NoteKind::KeptFile)
            continue;
        if (const int error = PLATFORM::RemoveFile(note.aside); error != 0 && error != ENOENT)
            problems << CFailure::FromErrno(GetTextString(TEXT::CannotDeletePreviousFile), note.aside, error)
                            .Text();
    }
    return problems;
}

QStringList CRollback::Commit()
{
    if (!m_active)
        return {};
    const bool anyKept =
        std::any_of(m_notes.begin(), m_notes.end(), [](const Note& n) { return n.kind == Kind::KeptFile; });
    const bool journal = m_journal.Written();
    QStringList problems;
    // Once the kept files start to go there is no way back: the journal says
    // so first, and a run killed now finishes the commit next time. A journal
    // that cannot say so must go before them, or the next run would undo this
    // one without the previous files to put back.
    bool commitNoted = false;
    if (journal && anyKept) {
        CFailure failure;
        commitNoted = m_journal.NoteCommit(&failure);
        if (!commitNoted)
            problems << failure.Text();
    }
    const bool keptMayGo = commitNoted || m_journal.Remove(&problems);
    if (keptMayGo)
        problems << DeleteKeptFiles(m_notes);
    else if (anyKept)
        problems << GetTextString(TEXT::PreviousFilesKept);
    if (commitNoted)
        m_journal.Remove(&problems);
    Reset();
    return problems;
}

void UndoNotes(std::vector<RollbackNote>& notes, UndoReport& report)
{
    if (report.recovering) {
        QSet<QString> folders;
        for (const RollbackNote& note : notes) {
            if (note.kind == NoteKind::NewFile || note.kind == NoteKind::KeptFile)
                folders.insert(ParentFolder(note.path));
        }
        // The temporary files a killed writer left in the folders it was filling.
        for (const QString& folder : folders)
            PLATFORM::RemoveStaleWriterFiles(folder);
    }
    // Indexed by NoteKind.
    static constexpr void (*const kUndo[])(RollbackNote&, UndoReport&) = {
        UndoFolder, UndoNewFile, UndoKeptFile, UndoValue, UndoNewKey, UndoTreeKey,
    };
    static_assert(std::size(kUndo) == size_t(NoteKind::TreeKey) + 1);
    for (auto it = notes.rbegin(); it != notes.rend(); ++it)
        kUndo[size_t(it->kind)](*it, report);
}

QStringList CRollback::Undo()
{
    if (!m_active)
        return {};
    UndoReport report;
    UndoNotes(m_notes, report);
    m_undone = report.undone;
    QStringList problems = report.problems;
    // What could not be put back stays in the journal for the next run.
    if (problems.isEmpty())
        m_journal.Remove(&problems);
    Reset();
    return problems;
}
