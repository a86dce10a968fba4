// One note of the rollback: what was there before one change, and how each
// kind of note is undone. Each kind's undo lives beside the step that takes
// the note (RollbackFiles.cpp, RollbackRegistry.cpp); the journal's lines
// (RollbackJournal.cpp) carry the same fields.
#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

enum class NoteKind { Folder, NewFile, KeptFile, Value, NewKey, TreeKey };

struct RollbackNote {
    RollbackNote(NoteKind k, const QString& p) : kind(k), path(p) {}
    NoteKind kind;
    QString path;   // file or folder path, or the registry key
    QString aside;  // KeptFile: the name it is kept under
    PLATFORM::RegRoot root = PLATFORM::RegRoot::CurrentUser;
    QString name;  // Value: the value name
    bool existed = false;
    quint32 type = 0;
    QByteArray data;
    bool kept = false;  // KeptFile: the aside name exists now
};

// What undoing notes found: the changes undone, one line each, and what could
// not be put back. recovering: the notes come from a killed run's journal,
// so the state in memory (kept) is not known and the disk is asked instead.
struct UndoReport {
    bool recovering = false;
    QStringList undone;
    QStringList problems;
};

// The undo of one note of each kind.
void UndoFolder(RollbackNote& note, UndoReport& report);
void UndoNewFile(RollbackNote& note, UndoReport& report);
void UndoKeptFile(RollbackNote& note, UndoReport& report);
void UndoValue(RollbackNote& note, UndoReport& report);
void UndoNewKey(RollbackNote& note, UndoReport& report);
void UndoTreeKey(RollbackNote& note, UndoReport& report);

// Every note undone in reverse order.
void UndoNotes(std::vector<RollbackNote>& notes, UndoReport& report);
// The kept files of a run that succeeded deleted; what could not be.
QStringList DeleteKeptFiles(const std::vector<RollbackNote>& notes);
