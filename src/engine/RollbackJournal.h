// The rollback's journal on disk: a header line, one line per note, and a
// "commit" line once a run that succeeded starts to delete its kept files.
// Each write replaces the whole journal, durably, so a killed run leaves
// either the old journal or the new one. The lines:
//   D <folder>            F <new file>          K <file> <kept name>
//   N <root> <new key>    T <root> <deleted tree's key>
//   V <root> <key> <value name> none | <type> <hex data or ->
// with every text field percent-encoded. CRollback::Recover, which follows the
// journal a killed run left, lives beside this class's code.
#pragma once

#include "common/Failure.h"
#include "engine/RollbackNote.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class CRollbackJournal {
public:
    // Starts a journal at path (empty: nothing goes to disk); nothing is
    // written yet.
    void Begin(const QString& path);
    void Reset() { Begin({}); }
    const QString& Path() const { return m_path; }
    // What the journal holds now (also when it is kept in memory only).
    const QString& Text() const { return m_text; }
    // A journal is on disk.
    bool Written() const { return !m_path.isEmpty() && !m_text.isEmpty(); }

    // The journal's text for the notes from..to appended to what it holds
    // (a fresh header when it holds nothing, or when from is 0).
    QString With(const std::vector<RollbackNote>& notes, size_t from, size_t to) const;
    // Writes text as the whole journal (making its folders) and holds it.
    // False, with the reason, when it cannot be written.
    bool Replace(const QString& text, CFailure* failure);
    // Adds the commit line on disk: the kept files may go from now on.
    bool NoteCommit(CFailure* failure);
    // The journal goes, and the folders made for it when they are empty.
    // False, with the reason added to problems, when the journal stays.
    bool Remove(QStringList* problems);

    // One note as a journal line, with its '\n'.
    static QString Line(const RollbackNote& note);
    // A journal line back as a note; false when the line is damaged or aims
    // anywhere a note of this class could not.
    static bool Parse(const QString& line, RollbackNote& note);
    // A whole journal's notes, and whether it has the commit line. False
    // when the header or any line is damaged.
    static bool Load(const QByteArray& text, std::vector<RollbackNote>& notes, bool& committed);

private:
    bool Write(const QString& text, CFailure* failure);

    QString m_path;
    QString m_text;
    QStringList m_folders;  // made for the journal, outermost first
};
