#include "engine/Rollback.h"

#include "common/FileHelpers.h"
#include "engine/EngineNames.h"
#include "platform/FileWriter.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using PLATFORM::CRegistry;
using PLATFORM::RegRoot;
using PLATFORM::RegStatus;

namespace {

const QByteArray kHeader = "norvex-rollback 1";
const QByteArray kCommitLine = "commit";
const QString kKeptPrefix = QStringLiteral(".nvxkeep");
// Fresh kept names tried when the chosen ones turn out taken.
constexpr int kKeepAttempts = 8;

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

bool Exists(const QString& path, struct stat* st = nullptr)
{
    struct stat local {};
    return ::lstat(Native(path).constData(), st ? st : &local) == 0;
}

bool SameFile(const QString& a, const QString& b)
{
    struct stat sa {};
    struct stat sb {};
    return ::lstat(Native(a).constData(), &sa) == 0 && ::lstat(Native(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QString RegistryCause(RegStatus status)
{
    return status == RegStatus::Failed ? CRegistry::LastError() : QStringLiteral("not a valid key");
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

// Only the names this class gives kept files, in the folder of their file.
bool KeptNameOf(const QString& aside, const QString& path)
{
    static const QRegularExpression form(QStringLiteral("^\\.nvxkeep[0-9a-f]{8}$"));
    return PlainPath(aside) && ParentFolder(aside) == ParentFolder(path)
        && form.match(aside.mid(aside.lastIndexOf(u'/') + 1)).hasMatch();
}

// The file system refuses a second link, so the file itself has to move.
bool NoHardLinks(int error)
{
    return error == EPERM || error == EXDEV || error == EMLINK || error == ENOTSUP || error == EOPNOTSUPP;
}

// Renames, but never over an existing name; 0 or the error.
int RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system that cannot be asked: only this run makes kept names in
    // the folder, and the name is free now.
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

void SyncFolder(const QString& folder)
{
    const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QByteArray Field(const QString& text)
{
    return text.toUtf8().toPercentEncoding();
}
QString Unfield(const QByteArray& field)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(field));
}

}  // namespace

void CRollback::Reset()
{
    m_active = false;
    m_journalPath.clear();
    m_notes.clear();
    m_flushed = 0;
    m_journalText.clear();
    m_journalFolders.clear();
    m_ids.clear();
    m_files.clear();
    m_asides.clear();
}

bool CRollback::RemoveJournal(QStringList* problems)
{
    if (m_journalPath.isEmpty() || m_journalText.isEmpty())
        return true;
    if (::unlink(Native(m_journalPath).constData()) != 0 && errno != ENOENT) {
        if (problems)
            *problems << CFailure::FromErrno(QStringLiteral("cannot delete the journal"), m_journalPath,
                                             errno)
                             .Text();
        return false;
    }
    for (auto it = m_journalFolders.crbegin(); it != m_journalFolders.crend(); ++it)
        ::rmdir(Native(*it).constData());
    return true;
}

void CRollback::Begin(const QString& journalPath)
{
    Reset();
    m_undone.clear();
    m_active = true;
    m_journalPath = journalPath;
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

void CRollback::NoteFolders(const QString& folder)
{
    if (!m_active)
        return;
    QStringList missing;
    // A folder noted already had its missing parents noted with it.
    for (QString path = WithoutFinalSlash(folder);
         path.size() > 1 && !m_ids.contains(QStringLiteral("D|") + path) && !Exists(path);
         path = ParentFolder(path))
        missing.prepend(path);
    for (const QString& path : missing) {
        if (!Noted(QStringLiteral("D|") + path))
            Add({Kind::Folder, path});
    }
}

void CRollback::NoteFile(const QString& path)
{
    if (!m_active || Noted(QStringLiteral("F|") + path))
        return;
    struct stat st {};
    if (!Exists(path, &st)) {
        m_files.insert(path, m_notes.size());
        Add({Kind::NewFile, path});
        return;
    }
    // A folder or device there is refused by the writer; nothing to keep.
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return;
    Note note{Kind::KeptFile, path};
    note.aside = FreshAside(path);
    m_files.insert(path, m_notes.size());
    Add(std::move(note));
}

QString CRollback::FreshAside(const QString& path)
{
    const QString folder = ParentFolder(path);
    QString aside;
    do {
        const quint32 random = m_nameSource ? m_nameSource() : QRandomGenerator::global()->generate();
        aside = (folder == QLatin1String("/") ? folder : folder + u'/') + kKeptPrefix
            + QStringLiteral("%1").arg(random, 8, 16, QChar(u'0'));
    } while (m_asides.contains(aside) || Exists(aside));
    m_asides.insert(aside);
    return aside;
}

void CRollback::NoteKey(RegRoot root, const QString& key)
{
    if (!m_active)
        return;
    // HKCR's keys live below this machine key, which its first write makes.
    if (root == RegRoot::ClassesRoot)
        NoteKey(RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Classes"));
    QStringList missing;
    QString path = key;
    while (!path.isEmpty() && !CRegistry::KeyExists(root, path)) {
        missing.prepend(path);
        const qsizetype at = path.lastIndexOf(u'\\');
        path = at < 0 ? QString() : path.left(at);
    }
    for (const QString& k : missing) {
        if (Noted(QStringLiteral("K|%1|").arg(int(root)) + k.toLower()))
            continue;
        Note note{Kind::NewKey, k};
        note.root = root;
        Add(std::move(note));
    }
}

void CRollback::NoteValue(RegRoot root, const QString& key, const QString& name)
{
    if (!m_active)
        return;
    NoteKey(root, key);
    if (Noted(QStringLiteral("V|%1|").arg(int(root)) + key.toLower() + u'|' + name.toLower()))
        return;
    Note note{Kind::Value, key};
    note.root = root;
    note.name = name;
    note.existed = CRegistry::QueryValue(root, key, name, &note.type, &note.data) == RegStatus::Ok;
    Add(std::move(note));
}

void CRollback::NoteTree(RegRoot root, const QString& key)
{
    if (!m_active || key.isEmpty() || !CRegistry::KeyExists(root, key))
        return;
    if (!Noted(QStringLiteral("T|%1|").arg(int(root)) + key.toLower())) {
        Note note{Kind::TreeKey, key};
        note.root = root;
        Add(std::move(note));
    }
    QStringList subkeys;
    QList<PLATFORM::RegValue> values;
    if (CRegistry::EnumKey(root, key, &subkeys, &values) != RegStatus::Ok)
        return;
    for (const PLATFORM::RegValue& value : values) {
        if (Noted(QStringLiteral("V|%1|").arg(int(root)) + key.toLower() + u'|' + value.name.toLower()))
            continue;
        Note note{Kind::Value, key};
        note.root = root;
        note.name = value.name;
        note.existed = true;
        note.type = value.type;
        note.data = value.data;
        Add(std::move(note));
    }
    for (const QString& subkey : subkeys)
        NoteTree(root, key + u'\\' + subkey);
}

QString CRollback::Line(const Note& note)
{
    QByteArray line;
    switch (note.kind) {
    case Kind::Folder:
        line = "D " + Field(note.path);
        break;
    case Kind::NewFile:
        line = "F " + Field(note.path);
        break;
    case Kind::KeptFile:
        line = "K " + Field(note.path) + ' ' + Field(note.aside);
        break;
    case Kind::NewKey:
        line = "N " + QByteArray::number(int(note.root)) + ' ' + Field(note.path);
        break;
    case Kind::TreeKey:
        line = "T " + QByteArray::number(int(note.root)) + ' ' + Field(note.path);
        break;
    case Kind::Value:
        line = "V " + QByteArray::number(int(note.root)) + ' ' + Field(note.path) + ' ' + Field(note.name)
            + ' '
            + (note.existed
                   ? QByteArray::number(note.type) + ' ' + (note.data.isEmpty() ? "-" : note.data.toHex())
                   : QByteArray("none"));
        break;
    }
    return QString::fromLatin1(line + '\n');
}

bool CRollback::Parse(const QString& text, Note& note)
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
        note = {Kind::Folder, Unfield(f[1])};
    else if (f.size() == 2 && f[0] == "F")
        note = {Kind::NewFile, Unfield(f[1])};
    else if (f.size() == 3 && f[0] == "K") {
        note = {Kind::KeptFile, Unfield(f[1])};
        note.aside = Unfield(f[2]);
    } else if (f.size() == 3 && (f[0] == "N" || f[0] == "T")) {
        note = {f[0] == "N" ? Kind::NewKey : Kind::TreeKey, Unfield(f[2])};
        if (!root(f[1], note.root))
            return false;
    } else if ((f.size() == 5 && f[4] == "none") || f.size() == 6) {
        if (f[0] != "V")
            return false;
        note = {Kind::Value, Unfield(f[2])};
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
    const bool file = note.kind == Kind::Folder || note.kind == Kind::NewFile || note.kind == Kind::KeptFile;
    if (file)
        return PlainPath(note.path) && (note.kind != Kind::KeptFile || KeptNameOf(note.aside, note.path));
    return !note.path.isEmpty();
}

bool CRollback::WriteJournal(const QString& text, CFailure* failure)
{
    const QString folder = ParentFolder(m_journalPath);
    for (QString path = folder; path.size() > 1 && !Exists(path); path = ParentFolder(path))
        m_journalFolders.prepend(path);
    if (!CreateDirectoryTree(m_journalPath, failure))
        return false;
    PLATFORM::FileWriteOptions options;
    options.durable = true;
    options.exactMode = 0600;
    if (!PLATFORM::WriteFileInPlace(m_journalPath, text.toUtf8(), options, failure))
        return false;
    // The journal's name must survive a power loss as well as its bytes.
    SyncFolder(folder);
    return true;
}

bool CRollback::Flush(CFailure* failure)
{
    if (!m_active || m_flushed == m_notes.size())
        return true;
    QString text = m_journalText.isEmpty() ? QString::fromLatin1(kHeader + '\n') : m_journalText;
    for (size_t i = m_flushed; i < m_notes.size(); ++i)
        text += Line(m_notes[i]);
    if (!m_journalPath.isEmpty() && !WriteJournal(text, failure))
        return false;
    m_journalText = text;
    m_flushed = m_notes.size();
    return true;
}

bool CRollback::Rewrite(CFailure* failure)
{
    if (m_flushed == 0)
        return true;
    QString text = QString::fromLatin1(kHeader + '\n');
    for (size_t i = 0; i < m_flushed; ++i)
        text += Line(m_notes[i]);
    if (!m_journalPath.isEmpty() && !WriteJournal(text, failure))
        return false;
    m_journalText = text;
    return true;
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
    const QByteArray from = Native(path);
    int error = EEXIST;
    for (int attempt = 0; attempt < kKeepAttempts; ++attempt) {
        const QByteArray to = Native(note.aside);
        error = ::link(from.constData(), to.constData()) == 0 ? 0 : errno;
        // A file system without hard links: the file itself moves aside.
        if (NoHardLinks(error))
            error = RenameNoReplace(from, to);
        if (error == 0) {
            note.kept = true;
            return true;
        }
        if (error == ENOENT && !Exists(path)) {
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
        *failure = CFailure::FromErrno(QStringLiteral("cannot keep the previous file aside"), path, error);
    return false;
}

QStringList CRollback::DeleteKept(const std::vector<Note>& notes)
{
    QStringList problems;
    for (const Note& note : notes) {
        if (note.kind != Kind::KeptFile)
            continue;
        if (::unlink(Native(note.aside).constData()) != 0 && errno != ENOENT)
            problems << CFailure::FromErrno(QStringLiteral("cannot delete the previous file"), note.aside,
                                            errno)
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
    const bool journal = !m_journalPath.isEmpty() && !m_journalText.isEmpty();
    QStringList problems;
    // Once the kept files start to go there is no way back: the journal says
    // so first, and a run killed now finishes the commit next time. A journal
    // that cannot say so must go before them, or the next run would undo this
    // one without the previous files to put back.
    bool commitNoted = false;
    if (journal && anyKept) {
        CFailure failure;
        commitNoted = WriteJournal(m_journalText + QString::fromLatin1(kCommitLine + '\n'), &failure);
        if (!commitNoted)
            problems << failure.Text();
    }
    const bool keptMayGo = commitNoted || RemoveJournal(&problems);
    if (keptMayGo)
        problems << DeleteKept(m_notes);
    else if (anyKept)
        problems << QStringLiteral("the previous files are kept, as the journal still names them");
    if (commitNoted)
        RemoveJournal(&problems);
    Reset();
    return problems;
}

QStringList CRollback::UndoNotes(std::vector<Note>& notes, bool recovering, QStringList& undone)
{
    QStringList problems;
    if (recovering) {
        QSet<QString> folders;
        for (const Note& note : notes) {
            if (note.kind == Kind::NewFile || note.kind == Kind::KeptFile)
                folders.insert(ParentFolder(note.path));
        }
        // The temporary files a killed writer left in the folders it was filling.
        for (const QString& folder : folders)
            PLATFORM::RemoveStaleWriterFiles(folder);
    }
    for (auto it = notes.rbegin(); it != notes.rend(); ++it) {
        Note& note = *it;
        switch (note.kind) {
        case Kind::NewFile: {
            struct stat st {};
            if (!Exists(note.path, &st) || S_ISDIR(st.st_mode))
                break;
            if (::unlink(Native(note.path).constData()) == 0)
                undone << QStringLiteral("removed %1").arg(note.path);
            else if (errno != ENOENT)
                problems << CFailure::FromErrno(QStringLiteral("cannot remove"), note.path, errno).Text();
            break;
        }
        case Kind::KeptFile:
            // Not kept yet (or already put back by an earlier attempt): the
            // file at its name was never replaced.
            if (!(note.kept || (recovering && Exists(note.aside))))
                break;
            if (SameFile(note.aside, note.path)) {
                // Never replaced: the second name is all there is to undo.
                ::unlink(Native(note.aside).constData());
                note.kept = false;
                break;
            }
            if (::rename(Native(note.aside).constData(), Native(note.path).constData()) == 0) {
                note.kept = false;
                undone << QStringLiteral("restored %1").arg(note.path);
            } else {
                problems << CFailure::FromErrno(
                                QStringLiteral("cannot restore %1 (the previous file is kept as %2)")
                                    .arg(note.path, note.aside),
                                note.path, errno)
                                .Text();
            }
            break;
        case Kind::Folder:
            if (!Exists(note.path))
                break;
            // A folder that holds something this run did not put there stays.
            if (::rmdir(Native(note.path).constData()) == 0)
                undone << QStringLiteral("removed %1").arg(note.path);
            else if (errno != ENOTEMPTY && errno != EEXIST && errno != ENOENT)
                problems << CFailure::FromErrno(QStringLiteral("cannot remove the folder"), note.path, errno)
                                .Text();
            break;
        case Kind::Value: {
            const RegStatus status = note.existed
                ? CRegistry::SetValue(note.root, note.path, note.name, note.type, note.data)
                : CRegistry::DeleteValue(note.root, note.path, note.name);
            const QString value = note.name.isEmpty() ? QStringLiteral("@") : note.name;
            if (status == RegStatus::Ok)
                undone << QStringLiteral("registry restored %1 [%2]")
                              .arg(RegistryKeyName(note.root, note.path), value);
            else if (status != RegStatus::NotFound)
                problems << CFailure{QStringLiteral("cannot restore the registry value %1 of").arg(value),
                                     RegistryKeyName(note.root, note.path), RegistryCause(status)}
                                .Text();
            break;
        }
        case Kind::NewKey: {
            QStringList subkeys;
            QList<PLATFORM::RegValue> values;
            if (CRegistry::EnumKey(note.root, note.path, &subkeys, &values) != RegStatus::Ok
                || !subkeys.isEmpty() || !values.isEmpty())
                break;
            const RegStatus status = CRegistry::DeleteKey(note.root, note.path);
            if (status == RegStatus::Ok)
                undone << QStringLiteral("registry deleted %1").arg(RegistryKeyName(note.root, note.path));
            else if (status != RegStatus::NotFound)
                problems << CFailure{QStringLiteral("cannot delete the registry key"),
                                     RegistryKeyName(note.root, note.path), RegistryCause(status)}
                                .Text();
            break;
        }
        case Kind::TreeKey: {
            const RegStatus status = CRegistry::CreateKey(note.root, note.path);
            if (status != RegStatus::Ok)
                problems << CFailure{QStringLiteral("cannot restore the registry key"),
                                     RegistryKeyName(note.root, note.path), RegistryCause(status)}
                                .Text();
            break;
        }
        }
    }
    return problems;
}

QStringList CRollback::Undo()
{
    if (!m_active)
        return {};
    m_undone.clear();
    QStringList problems = UndoNotes(m_notes, false, m_undone);
    // What could not be put back stays in the journal for the next run.
    if (problems.isEmpty())
        RemoveJournal(&problems);
    Reset();
    return problems;
}

namespace {

// A journal that could not be followed to its end is moved out of the way of
// the next run's journal, which would otherwise replace the only record of
// what is left to see to. Where it went, or empty when it could not be moved.
QString SetJournalAside(const QString& journalPath)
{
    const QByteArray from = Native(journalPath);
    const QString stem =
        journalPath + u'.' + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 0; n < 100; ++n) {
        const QString to = n == 0 ? stem : stem + u'-' + QString::number(n);
        const int error = RenameNoReplace(from, Native(to));
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
    problems << (kept.isEmpty() ? QStringLiteral("the record of the changes stays at ") + journalPath
                                : QStringLiteral("the record of the changes is kept at ") + kept);
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
            ::rmdir(Native(folder).constData());  // only when empty
        return {};
    }
    if (what)
        *what = Recovered::Unreadable;
    if (!file.open(QIODevice::ReadOnly))
        return KeepingJournal(
            journalPath,
            {CFailure{QStringLiteral("cannot read the journal"), journalPath, file.errorString()}.Text()});
    const QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    std::vector<Note> notes;
    bool committed = false;
    bool sound = !lines.isEmpty() && lines.first() == kHeader;
    for (qsizetype i = 1; sound && i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        if (lines[i] == kCommitLine) {
            committed = true;
            continue;
        }
        Note note{Kind::Folder, {}};
        sound = Parse(QString::fromLatin1(lines[i]), note);
        notes.push_back(std::move(note));
    }
    if (!sound)
        return KeepingJournal(
            journalPath,
            {CFailure{QStringLiteral("cannot read the journal"), journalPath, QStringLiteral("damaged")}
                 .Text()});
    if (what)
        *what = committed ? Recovered::Committed : Recovered::Undone;
    QStringList done;
    const QStringList problems = committed ? DeleteKept(notes) : UndoNotes(notes, true, done);
    if (undone)
        *undone = done;
    if (!problems.isEmpty())
        return KeepingJournal(journalPath, problems);
    ::unlink(Native(journalPath).constData());
    ::rmdir(Native(folder).constData());  // only when empty
    return problems;
}
