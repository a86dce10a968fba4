// The rollback's file notes: the folders a run makes, its new files and the
// existing files it replaces, each with its undo.
#include "common/FileHelpers.h"
#include "common/MessageTable.h"
#include "engine/Rollback.h"
#include "platform/FileSystem.h"

#include <QRandomGenerator>

#include <cerrno>

using PLATFORM::FileIdentity;

namespace {

const QString kKeptPrefix = QStringLiteral(".nvxkeep");
// Fresh kept names tried when the chosen ones turn out taken.
constexpr int kKeepAttempts = 8;

}  // namespace

void CRollback::NoteFolders(const QString& folder)
{
    if (!m_active)
        return;
    QStringList missing;
    // A folder noted already had its missing parents noted with it.
    for (QString path = WithoutFinalSlash(folder);
         path.size() > 1 && !m_ids.contains(QStringLiteral("D|") + path) && !PLATFORM::PathExists(path);
         path = ParentFolder(path))
        missing.prepend(path);
    for (const QString& path : missing) {
        if (!Noted(QStringLiteral("D|") + path))
            Add({Kind::Folder, path});
    }
}

void UndoFolder(RollbackNote& note, UndoReport& report)
{
    if (!PLATFORM::PathExists(note.path))
        return;
    // A folder that holds something this run did not put there stays.
    const int error = PLATFORM::RemoveFolder(note.path);
    if (error == 0)
        report.undone << QStringLiteral("removed %1").arg(note.path);
    else if (error != ENOTEMPTY && error != EEXIST && error != ENOENT)
        report.problems
            << CFailure::FromErrno(GetTextString(TEXT::CannotRemoveFolder), note.path, error).Text();
}

void CRollback::NoteFile(const QString& path)
{
    if (!m_active || Noted(QStringLiteral("F|") + path))
        return;
    FileIdentity st;
    if (PLATFORM::IdentifyPath(path, &st, PLATFORM::Links::DoNotFollow) != 0) {
        m_files.insert(path, m_notes.size());
        Add({Kind::NewFile, path});
        return;
    }
    // A folder or device there is refused by the writer; nothing to keep.
    if (!st.IsFile() && !st.IsLink())
        return;
    Note note{Kind::KeptFile, path};
    note.aside = FreshAside(path);
    m_files.insert(path, m_notes.size());
    Add(std::move(note));
}

void UndoNewFile(RollbackNote& note, UndoReport& report)
{
    FileIdentity st;
    if (PLATFORM::IdentifyPath(note.path, &st, PLATFORM::Links::DoNotFollow) != 0 || st.IsFolder())
        return;
    const int error = PLATFORM::RemoveFile(note.path);
    if (error == 0)
        report.undone << QStringLiteral("removed %1").arg(note.path);
    else if (error != ENOENT)
        report.problems << CFailure::FromErrno(GetTextString(TEXT::CannotRemove), note.path, error).Text();
}

QString CRollback::FreshAside(const QString& path)
{
    const QString folder = ParentFolder(path);
    QString aside;
    do {
        const quint32 random = m_nameSource ? m_nameSource() : QRandomGenerator::global()->generate();
        aside = (folder == QLatin1String("/") ? folder : folder + u'/') + kKeptPrefix
            + QStringLiteral("%1").arg(random, 8, 16, QChar(u'0'));
    } while (m_asides.contains(aside) || PLATFORM::PathExists(aside));
    m_asides.insert(aside);
    return aside;
}

bool CRollback::KeepAside(const QString& path, CFailure* failure)
{
    if (!m_active)
        return true;
    const auto found = m_files.constFind(path);
    if (found == m_files.constEnd())
        return true;
    const size_t index = *found;
    Note& note = m_notes[index];
    if (note.kind != Kind::KeptFile || note.kept)
        return true;
    int error = EEXIST;
    for (int attempt = 0; attempt < kKeepAttempts; ++attempt) {
        error = PLATFORM::HardLink(path, note.aside);
        // A file system without hard links: the file itself moves aside.
        if (PLATFORM::NoHardLinks(error))
            error = PLATFORM::RenameNoReplace(path, note.aside);
        if (error == 0) {
            note.kept = true;
            return true;
        }
        if (error == ENOENT && !PLATFORM::PathExists(path)) {
            // Gone since it was noted: what comes now is this run's own file,
            // which a killed run's journal must name as such.
            m_asides.remove(note.aside);
            note.aside.clear();
            note.kind = Kind::NewFile;
            return index >= m_flushed || Rewrite(failure);
        }
        if (error != EEXIST)
            break;
        // Something took the name since it was chosen; the journal names the
        // new one before anything is kept under it.
        m_asides.remove(note.aside);
        note.aside = FreshAside(path);
        if (index < m_flushed && !Rewrite(failure))
            return false;
    }
    if (failure)
        *failure = CFailure::FromErrno(GetTextString(TEXT::CannotKeepAside), path, error);
    return false;
}

void UndoKeptFile(RollbackNote& note, UndoReport& report)
{
    // Not kept yet (or already put back by an earlier attempt): the file at
    // its name was never replaced.
    if (!(note.kept || (report.recovering && PLATFORM::PathExists(note.aside))))
        return;
    if (PLATFORM::SameFile(note.aside, note.path)) {
        // Never replaced: the second name is all there is to undo.
        PLATFORM::RemoveFile(note.aside);
        note.kept = false;
        return;
    }
    if (const int error = PLATFORM::Rename(note.aside, note.path); error == 0) {
        note.kept = false;
        report.undone << QStringLiteral("restored %1").arg(note.path);
    } else {
        report.problems << CFailure::FromErrno(
                               GetTextString(TEXT::CannotRestoreFile).arg(note.path, note.aside), note.path,
                               error)
                               .Text();
    }
}
