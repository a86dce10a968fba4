// Undoing a run that did not finish: before a change, what was there is noted
// (a file kept aside under a new name in its own folder, a value's old data, a
// key tree's content, the folders and keys about to be made), and the notes go
// to a journal on disk in batches, each batch before the changes it covers. A
// failed or cancelled run undoes its changes in reverse; a killed run leaves
// the journal, from which the next run undoes them. Only what the notes say
// the run made is ever deleted.
#pragma once

#include "common/Failure.h"
#include "engine/RollbackJournal.h"
#include "engine/RollbackNote.h"
#include "platform/Registry.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class CRollback {
public:
    CRollback() = default;
    CRollback(const CRollback&) = delete;
    CRollback& operator=(const CRollback&) = delete;

    // Starts noting; the journal goes to journalPath (empty: notes kept in
    // memory only). Earlier notes are dropped.
    void Begin(const QString& journalPath);
    bool Active() const { return m_active; }

    // Each note records the state before the change; a second note of the
    // same thing changes nothing. Notes reach the journal with Flush.
    // A folder path (with or without '/'): every missing folder of it.
    void NoteFolders(const QString& folder);
    // A file about to be written: new, or an existing one to keep aside.
    void NoteFile(const QString& path);
    void NoteValue(PLATFORM::RegRoot root, const QString& key, const QString& name);
    // The key and every missing key above it.
    void NoteKey(PLATFORM::RegRoot root, const QString& key);
    // A key tree about to be deleted, with all its keys and values.
    void NoteTree(PLATFORM::RegRoot root, const QString& key);

    // Writes the notes taken so far to the journal and flushes it to the disk.
    // False, with the reason, when the journal cannot be written: the caller
    // then must not make the change.
    bool Flush(CFailure* failure);
    // Keeps a noted existing file under its new name (a second link to it, or
    // the file renamed when the file system has no links) before it is
    // replaced. A name taken meanwhile is swapped for a fresh one, and a file
    // gone meanwhile becomes a new file; the journal says so before the call
    // returns. Nothing is ever renamed over an existing name. True when there
    // was nothing to keep.
    bool KeepAside(const QString& path, CFailure* failure);
    // Where the random part of the kept names comes from; tests make it
    // repeat itself.
    void SetNameSource(std::function<quint32()> source) { m_nameSource = std::move(source); }

    // The run succeeded: the kept files and the journal go. Things that could
    // not be deleted are returned (they do no harm).
    QStringList Commit();
    // Undoes every change in reverse order; returns what could not be put
    // back ("cannot restore <path>: <cause>"), empty when all was.
    QStringList Undo();
    // One line per change undone, for the run's log.
    const QStringList& Undone() const { return m_undone; }

    // What Recover found and did.
    enum class Recovered {
        Nothing,     // no journal
        Undone,      // the killed run's changes were undone
        Committed,   // the killed run had succeeded; its commit was finished
        Unreadable,  // a journal that cannot be read or is damaged: nothing touched
    };
    // A journal a killed run left at journalPath: its changes are undone (or
    // its commit finished) and the journal deleted when that went through.
    // The writer's temporary files a killed journal write left beside it go
    // first, whether or not there is a journal. The result is what could not
    // be put back or deleted, or why the journal was not followed.
    static QStringList Recover(const QString& journalPath, Recovered* what, QStringList* undone = nullptr);

private:
    using Note = RollbackNote;
    using Kind = NoteKind;

    bool Noted(const QString& id);
    void Add(Note note);
    // A kept name in the file's folder that neither the disk nor another
    // note of this run uses.
    QString FreshAside(const QString& path);
    // The journal written again after a note already in it changed.
    bool Rewrite(CFailure* failure);
    void Reset();

    bool m_active = false;
    CRollbackJournal m_journal;
    std::vector<Note> m_notes;
    size_t m_flushed = 0;  // notes already in the journal
    QSet<QString> m_ids;
    QHash<QString, size_t> m_files;  // file path -> its note
    QSet<QString> m_asides;          // the kept names of the notes
    std::function<quint32()> m_nameSource;
    QStringList m_undone;
};
