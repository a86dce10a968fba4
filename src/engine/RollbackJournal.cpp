#include "engine/RollbackJournal.h"

#include "common/FileHelpers.h"
#include "common/MessageTable.h"
#include "engine/Rollback.h"
#include "platform/FileSystem.h"
#include "platform/FileWriter.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>

using PLATFORM::RegRoot;

namespace {

const QByteArray kHeader = "norvex-rollback 1";
const QByteArray kCommitLine = "commit";

QByteArray Field(const QString& text)
{
    return text.toUtf8().toPercentEncoding();
}
QString Unfield(const QByteArray& field)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(field));
}

// An absolute path without "." or ".." components: a journal's paths are
// followed as they are, so none may lead anywhere else. A NUL would cut the
// path short when it is handed to the system.
bool PlainPath(const QString& path)
{
    if (!path.startsWith(u'/') || path.contains(QChar(0)))
        return false;
    const QStringList parts = path.split(u'/');
    return std::none_of(parts.begin(), parts.end(), [](const QString& part) {
        return part == QLatin1String(".") || part == QLatin1String("..");
    });
}

// Only the names the rollback gives kept files, in the folder of their file.
bool KeptNameOf(const QString& aside, const QString& path)
{
    static const QRegularExpression form(QStringLiteral("^\\.nvxkeep[0-9a-f]{8}$"));
    return PlainPath(aside) && ParentFolder(aside) == ParentFolder(path)
        && form.match(aside.mid(aside.lastIndexOf(u'/') + 1)).hasMatch();
}

}  // namespace

void CRollbackJournal::Begin(const QString& path)
{
    m_path = path;
    m_text.clear();
    m_folders.clear();
}

QString CRollbackJournal::With(const std::vector<RollbackNote>& notes, size_t from, size_t to) const
{
    QString text = m_text.isEmpty() || from == 0 ? QString::fromLatin1(kHeader + '\n') : m_text;
    for (size_t i = from; i < to; ++i)
        text += Line(notes[i]);
    return text;
}

bool CRollbackJournal::Replace(const QString& text, CFailure* failure)
{
    if (!m_path.isEmpty() && !Write(text, failure))
        return false;
    m_text = text;
    return true;
}

bool CRollbackJournal::NoteCommit(CFailure* failure)
{
    return Write(m_text + QString::fromLatin1(kCommitLine + '\n'), failure);
}

bool CRollbackJournal::Write(const QString& text, CFailure* failure)
{
    const QString folder = ParentFolder(m_path);
    for (QString path = folder; path.size() > 1 && !PLATFORM::PathExists(path); path = ParentFolder(path))
        m_folders.prepend(path);
    if (!CreateDirectoryTree(m_path, failure))
        return false;
    PLATFORM::FileWriteOptions options;
    options.durable = true;
    options.exactMode = 0600;
    if (!PLATFORM::WriteFileInPlace(m_path, text.toUtf8(), options, failure))
        return false;
    // The journal's name must survive a power loss as well as its bytes.
    PLATFORM::SyncFolder(folder);
    return true;
}

bool CRollbackJournal::Remove(QStringList* problems)
{
    if (!Written())
        return true;
    if (const int error = PLATFORM::RemoveFile(m_path); error != 0 && error != ENOENT) {
        if (problems)
            *problems << CFailure::FromErrno(GetTextString(TEXT::CannotDeleteJournal), m_path, error).Text();
        return false;
    }
    for (auto it = m_folders.crbegin(); it != m_folders.crend(); ++it)
        PLATFORM::RemoveFolder(*it);
    return true;
}

QString CRollbackJournal::Line(const RollbackNote& note)
{
    QByteArray line;
    switch (note.kind) {
    case NoteKind::Folder:
        line = "D " + Field(note.path);
        break;
    case NoteKind::NewFile:
        line = "F " + Field(note.path);
        break;
    case NoteKind::KeptFile:
        line = "K " + Field(note.path) + ' ' + Field(note.aside);
        break;
    case NoteKind::NewKey:
        line = "N " + QByteArray::number(int(note.root)) + ' ' + Field(note.path);
        break;
    case NoteKind::TreeKey:
        line = "T " + QByteArray::number(int(note.root)) + ' ' + Field(note.path);
        break;
    case NoteKind::Value:
        line = "V " + QByteArray::number(int(note.root)) + ' ' + Field(note.path) + ' ' + Field(note.name)
            + ' '
            + (note.existed
                   ? QByteArray::number(note.type) + ' ' + (note.data.isEmpty() ? "-" : note.data.toHex())
                   : QByteArray("none"));
        break;
    }
    return QString::fromLatin1(line + '\n');
}

bool CRollbackJournal::Parse(const QString& text, RollbackNote& note)
{
    const QList<QByteArray> f = text.toLatin1().split(' ');
    auto root = [&](const QByteArray& field, RegRoot& out) {
        bool ok = false;
        const int value = field.toInt(&ok);
        if (!ok || value < 0 || value > int(RegRoot::ClassesRoot))
            return false;
        out = RegRoot(value);
        return true;
    };
    if (f.size() == 2 && f[0] == "D")
        note = {NoteKind::Folder, Unfield(f[1])};
    else if (f.size() == 2 && f[0] == "F")
        note = {NoteKind::NewFile, Unfield(f[1])};
    else if (f.size() == 3 && f[0] == "K") {
        note = {NoteKind::KeptFile, Unfield(f[1])};
        note.aside = Unfield(f[2]);
    } else if (f.size() == 3 && (f[0] == "N" || f[0] == "T")) {
        note = {f[0] == "N" ? NoteKind::NewKey : NoteKind::TreeKey, Unfield(f[2])};
        if (!root(f[1], note.root))
            return false;
    } else if ((f.size() == 5 && f[4] == "none") || f.size() == 6) {
        if (f[0] != "V")
            return false;
        note = {NoteKind::Value, Unfield(f[2])};
        note.name = Unfield(f[3]);
        if (!root(f[1], note.root))
            return false;
        note.existed = f.size() == 6;
        if (note.existed) {
            note.type = f[4].toUInt();
            note.data = f[5] == "-" ? QByteArray() : QByteArray::fromHex(f[5]);
        }
    } else {
        return false;
    }
    // Only plain paths, kept names of our own form and real keys: a damaged
    // journal must not aim anywhere else.
    const bool file =
        note.kind == NoteKind::Folder || note.kind == NoteKind::NewFile || note.kind == NoteKind::KeptFile;
    if (file)
        return PlainPath(note.path) && (note.kind != NoteKind::KeptFile || KeptNameOf(note.aside, note.path));
    return !note.path.isEmpty();
}

bool CRollbackJournal::Load(const QByteArray& text, std::vector<RollbackNote>& notes, bool& committed)
{
    const QList<QByteArray> lines = text.split('\n');
    committed = false;
    bool sound = !lines.isEmpty() && lines.first() == kHeader;
    for (qsizetype i = 1; sound && i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        if (lines[i] == kCommitLine) {
            committed = true;
            continue;
        }
        RollbackNote note{NoteKind::Folder, {}};
        sound = Parse(QString::fromLatin1(lines[i]), note);
        notes.push_back(std::move(note));
    }
    return sound;
}

namespace {

// A journal that could not be followed to its end is moved out of the way of
// the next run's journal, which would otherwise replace the only record of
// what is left to see to. Where it went, or empty when it could not be moved.
QString SetJournalAside(const QString& journalPath)
{
    const QString stem =
        journalPath + u'.' + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 0; n < 100; ++n) {
        const QString to = n == 0 ? stem : stem + u'-' + QString::number(n);
        const int error = PLATFORM::RenameNoReplace(journalPath, to);
        if (error == 0)
            return to;
        if (error != EEXIST)
            break;
    }
    return {};
}

// The problems of a journal not followed to its end, its new place said last.
QStringList KeepingJournal(const QString& journalPath, QStringList problems)
{
    const QString kept = SetJournalAside(journalPath);
    problems << (kept.isEmpty() ? GetTextString(TEXT::JournalStays) + journalPath
                                : GetTextString(TEXT::JournalKept) + kept);
    return problems;
}

}  // namespace

QStringList CRollback::Recover(const QString& journalPath, Recovered* what, QStringList* undone)
{
    if (what)
        *what = Recovered::Nothing;
    // A journal write killed halfway leaves its temporary file, which would
    // keep the folder from going.
    const QString folder = ParentFolder(journalPath);
    const bool swept = PLATFORM::RemoveStaleWriterFiles(folder) > 0;
    QFile file(journalPath);
    if (!file.exists()) {
        if (swept)
            PLATFORM::RemoveFolder(folder);  // only when empty
        return {};
    }
    if (what)
        *what = Recovered::Unreadable;
    if (!file.open(QIODevice::ReadOnly))
        return KeepingJournal(
            journalPath,
            {CFailure{GetTextString(TEXT::CannotReadJournal), journalPath, file.errorString()}.Text()});
    const QByteArray text = file.readAll();
    file.close();
    std::vector<RollbackNote> notes;
    bool committed = false;
    const bool sound = CRollbackJournal::Load(text, notes, committed);
    if (!sound)
        return KeepingJournal(
            journalPath,
            {CFailure{GetTextString(TEXT::CannotReadJournal), journalPath, GetTextString(TEXT::Damaged)}
                 .Text()});
    if (what)
        *what = committed ? Recovered::Committed : Recovered::Undone;
    UndoReport report;
    report.recovering = true;
    if (committed)
        report.problems = DeleteKeptFiles(notes);
    else
        UndoNotes(notes, report);
    if (undone)
        *undone = report.undone;
    const QStringList& problems = report.problems;
    if (!problems.isEmpty())
        return KeepingJournal(journalPath, problems);
    PLATFORM::RemoveFile(journalPath);
    PLATFORM::RemoveFolder(folder);  // only when empty
    return problems;
}
