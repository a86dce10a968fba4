// The rollback's registry notes: values about to change, keys about to be
// made and key trees about to be deleted, each with its undo.
#include "common/MessageTable.h"
#include "engine/EngineNames.h"
#include "engine/Rollback.h"

using PLATFORM::CRegistry;
using PLATFORM::RegRoot;
using PLATFORM::RegStatus;

namespace {

QString RegistryCause(RegStatus status)
{
    return status == RegStatus::Failed ? CRegistry::LastError() : GetTextString(TEXT::InvalidKey);
}

}  // namespace

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

void UndoNewKey(RollbackNote& note, UndoReport& report)
{
    QStringList subkeys;
    QList<PLATFORM::RegValue> values;
    if (CRegistry::EnumKey(note.root, note.path, &subkeys, &values) != RegStatus::Ok || !subkeys.isEmpty()
        || !values.isEmpty())
        return;
    const RegStatus status = CRegistry::DeleteKey(note.root, note.path);
    if (status == RegStatus::Ok)
        report.undone << QStringLiteral("registry deleted %1").arg(RegistryKeyName(note.root, note.path));
    else if (status != RegStatus::NotFound)
        report.problems << CFailure{GetTextString(TEXT::CannotDeleteKey),
                                    RegistryKeyName(note.root, note.path), RegistryCause(status)}
                               .Text();
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

void UndoValue(RollbackNote& note, UndoReport& report)
{
    const RegStatus status = note.existed
        ? CRegistry::SetValue(note.root, note.path, note.name, note.type, note.data)
        : CRegistry::DeleteValue(note.root, note.path, note.name);
    const QString value = note.name.isEmpty() ? QStringLiteral("@") : note.name;
    if (status == RegStatus::Ok)
        report.undone
            << QStringLiteral("registry restored %1 [%2]").arg(RegistryKeyName(note.root, note.path), value);
    else if (status != RegStatus::NotFound)
        report.problems << CFailure{GetTextString(TEXT::CannotRestoreValue).arg(value),
                                    RegistryKeyName(note.root, note.path), RegistryCause(status)}
                               .Text();
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

void UndoTreeKey(RollbackNote& note, UndoReport& report)
{
    const RegStatus status = CRegistry::CreateKey(note.root, note.path);
    if (status != RegStatus::Ok)
        report.problems << CFailure{GetTextString(TEXT::CannotRestoreKey),
                                    RegistryKeyName(note.root, note.path), RegistryCause(status)}
                               .Text();
}
