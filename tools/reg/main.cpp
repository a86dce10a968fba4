// norvex-reg: reads, changes and exports the installer's registry store.
#include "RegText.h"

#include "platform/Registry.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace PLATFORM;

namespace {

enum ExitCode { kExitOk = 0, kExitMissing = 1, kExitUsage = 2, kExitFailed = 3 };

const char kHelp[] =
    "Usage: norvex-reg COMMAND KEY [OPTIONS]\n"
    "\n"
    "Reads and changes the registry store of Norvex Setup.\n"
    "\n"
    "Commands:\n"
    "  query KEY                 list the key's values and subkeys\n"
    "  query KEY --value NAME    print one value's data alone: text for strings,\n"
    "                            a decimal number for REG_DWORD, hex bytes otherwise\n"
    "  add KEY [--value NAME] [--type REG_SZ|REG_DWORD] --data TEXT\n"
    "                            write a value (REG_SZ unless told), creating the key\n"
    "                            when missing; without --value, the default value\n"
    "  add KEY                   create the key only\n"
    "  delete KEY                delete the key with all its subkeys and values\n"
    "  delete KEY --value NAME   delete one value\n"
    "  export KEY                print the key's tree in the Windows Registry Editor\n"
    "                            Version 5.00 text form\n"
    "\n"
    "KEY is HKCU\\..., HKLM\\... or HKCR\\... (or HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,\n"
    "HKEY_CLASSES_ROOT); HKCR is HKLM\\SOFTWARE\\Classes. Names ignore letter case.\n"
    "--value \"\" names the key's default value. REG_DWORD data is decimal or 0x-hex.\n"
    "\n"
    "Environment: NORVEX_SCOPE=user|machine picks the machine hive (machine when\n"
    "running as root); NORVEX_ROOT moves every hive below that folder.\n"
    "\n"
    "Exit status: 0 done, 1 key or value not found, 2 bad usage,\n"
    "3 the store could not be read or written.\n";

void Out(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
}

int Error(int code, const QString& message)
{
    std::fprintf(stderr, "norvex-reg: %s\n", message.toUtf8().constData());
    return code;
}

int UsageError(const QString& message)
{
    return Error(kExitUsage, message + QStringLiteral(" (see norvex-reg --help)"));
}

struct Key {
    RegRoot root = RegRoot::CurrentUser;
    QString path;  // below the root, '\'-separated
    QString display;
};

bool ParseKey(const QString& text, Key& key)
{
    struct Name {
        const char* text;
        RegRoot root;
    };
    static const Name names[] = {
        {"HKCU", RegRoot::CurrentUser},  {"HKEY_CURRENT_USER", RegRoot::CurrentUser},
        {"HKLM", RegRoot::LocalMachine}, {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine},
        {"HKCR", RegRoot::ClassesRoot},  {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot}};
    const QString rootText = text.section('\\', 0, 0);
    QString path = text.section('\\', 1);
    while (path.endsWith('\\'))
        path.chop(1);
    for (const Name& n : names) {
        if (rootText.compare(QLatin1String(n.text), Qt::CaseInsensitive) == 0) {
            key.root = n.root;
            key.path = path;
            return true;
        }
    }
    return false;
}

QString Join(const QString& path, const QString& name)
{
    return path.isEmpty() ? name : path + '\\' + name;
}

// The key's path as stored (each component in the case it was created with);
// as given when some part is missing.
QString StoredPath(RegRoot root, const QString& path)
{
    if (path.isEmpty())
        return path;
    QString stored;
    for (const QString& part : path.split('\\')) {
        QStringList subkeys;
        if (CRegistry::EnumKey(root, stored, &subkeys, nullptr) != RegStatus::Ok)
            return path;
        const QString folded = part.toCaseFolded();
        auto it = std::find_if(subkeys.cbegin(), subkeys.cend(),
                               [&folded](const QString& s) { return s.toCaseFolded() == folded; });
        if (it == subkeys.cend())
            return path;
        stored = Join(stored, *it);
    }
    return stored;
}

QString FullName(const Key& key, const QString& path)
{
    const QString root = PLATFORM::RootName(key.root);
    return path.isEmpty() ? root : root + '\\' + path;
}

int StatusExit(RegStatus status, const Key& key, const std::optional<QString>& value)
{
    switch (status) {
    case RegStatus::Ok:
        return kExitOk;
    case RegStatus::NotFound:
        if (value && CRegistry::KeyExists(key.root, key.path)) {
            return Error(kExitMissing,
                         QStringLiteral("value not found: %1 in %2")
                             .arg(value->isEmpty() ? QStringLiteral("(Default)") : *value, key.display));
        }
        return Error(kExitMissing, QStringLiteral("key not found: %1").arg(key.display));
    case RegStatus::Invalid:
        if (key.path.isEmpty())
            return UsageError(QStringLiteral("a root key cannot be deleted: %1").arg(key.display));
        return UsageError(QStringLiteral("invalid key or value name: %1").arg(key.display));
    case RegStatus::Failed:
        break;
    }
    return Error(kExitFailed, CRegistry::LastError());
}

// What a script reads back: the data alone.
QString ScriptData(const RegValue& v)
{
    if (v.type == RegSz || v.type == RegExpandSz)
        return REGTOOL::DataText(v.data);
    if ((v.type == RegDword && v.data.size() == 4) || (v.type == RegQword && v.data.size() == 8)) {
        quint64 n = 0;
        for (qsizetype i = v.data.size() - 1; i >= 0; --i)
            n = (n << 8) | uchar(v.data[i]);
        return QString::number(n);
    }
    return QString::fromLatin1(v.data.toHex()).toUpper();
}

int Query(const Key& key, const std::optional<QString>& value)
{
    if (value) {
        RegValue v;
        const RegStatus rs = CRegistry::QueryValue(key.root, key.path, *value, &v.type, &v.data);
        if (rs != RegStatus::Ok)
            return StatusExit(rs, key, value);
        Out(ScriptData(v) + '\n');
        return kExitOk;
    }
    QStringList subkeys;
    QList<RegValue> values;
    const RegStatus rs = CRegistry::EnumKey(key.root, key.path, &subkeys, &values);
    if (rs != RegStatus::Ok)
        return StatusExit(rs, key, value);
    const QString path = StoredPath(key.root, key.path);
    QString out = FullName(key, path) + '\n';
    for (const RegValue& v : values) {
        out += QStringLiteral("    %1    %2    %3\n")
                   .arg(v.name.isEmpty() ? QStringLiteral("(Default)") : v.name, REGTOOL::TypeName(v.type),
                        REGTOOL::ListingData(v));
    }
    if (!subkeys.isEmpty()) {
        out += '\n';
        for (const QString& s : subkeys)
            out += FullName(key, Join(path, s)) + '\n';
    }
    Out(out);
    return kExitOk;
}

bool ParseDword(const QString& text, quint32& value)
{
    bool ok = false;
    const QString t = text.trimmed();
    const qulonglong n = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
        ? t.mid(2).toULongLong(&ok, 16)
        : t.toULongLong(&ok, 10);
    if (!ok || n > 0xFFFFFFFFull || t.startsWith('+'))
        return false;
    value = quint32(n);
    return true;
}

int Add(const Key& key, const std::optional<QString>& value, const std::optional<QString>& type,
        const std::optional<QString>& data)
{
    if (!data) {
        if (value || type)
            return UsageError(QStringLiteral("add needs --data"));
        return StatusExit(CRegistry::CreateKey(key.root, key.path), key, value);
    }
    quint32 regType = RegSz;
    QByteArray bytes;
    const QString typeName = type.value_or(QStringLiteral("REG_SZ")).toUpper();
    if (typeName == QLatin1String("REG_SZ")) {
        bytes = CRegistry::StringData(*data);
    } else if (typeName == QLatin1String("REG_DWORD")) {
        quint32 n = 0;
        if (!ParseDword(*data, n))
            return UsageError(
                QStringLiteral("REG_DWORD data must be a number from 0 to 4294967295: %1").arg(*data));
        regType = RegDword;
        bytes = CRegistry::DwordData(n);
    } else {
        return UsageError(QStringLiteral("unsupported type: %1 (REG_SZ or REG_DWORD)").arg(*type));
    }
    return StatusExit(CRegistry::SetValue(key.root, key.path, value.value_or(QString()), regType, bytes), key,
                      {});
}

int Delete(const Key& key, const std::optional<QString>& value)
{
    if (value)
        return StatusExit(CRegistry::DeleteValue(key.root, key.path, *value), key, value);
    return StatusExit(CRegistry::DeleteKey(key.root, key.path), key, value);
}

// The text of an export and whether a name with control characters was left
// out of it (said on standard error).
struct ExportText {
    QString text;
    bool skipped = false;
};

// Appends the key's block and those of its subkeys; false when the store failed.
bool ExportTree(const Key& key, const QString& path, ExportText& out, RegStatus& status)
{
    QStringList subkeys;
    QList<RegValue> values;
    status = CRegistry::EnumKey(key.root, path, &subkeys, &values);
    if (status != RegStatus::Ok)
        return false;
    out.text += '[' + FullName(key, path) + "]\n";
    for (const RegValue& v : values) {
        // A name the text form cannot hold is left out and said, never written raw.
        if (REGTOOL::HasControlCharacters(v.name)) {
            Error(kExitFailed,
                  QStringLiteral("value with control characters in its name left out of %1")
                      .arg(FullName(key, path)));
            out.skipped = true;
            continue;
        }
        out.text += REGTOOL::ExportValueLine(v) + '\n';
    }
    out.text += '\n';
    for (const QString& s : subkeys) {
        if (REGTOOL::HasControlCharacters(s)) {
            Error(kExitFailed,
                  QStringLiteral("subkey with control characters in its name left out of %1")
                      .arg(FullName(key, path)));
            out.skipped = true;
            continue;
        }
        // A subkey deleted meanwhile by someone else is simply not exported.
        if (!ExportTree(key, Join(path, s), out, status) && status != RegStatus::NotFound)
            return false;
    }
    status = RegStatus::Ok;
    return true;
}

int Export(const Key& key)
{
    ExportText out{QStringLiteral("Windows Registry Editor Version 5.00\n\n")};
    RegStatus rs = RegStatus::Ok;
    if (!ExportTree(key, StoredPath(key.root, key.path), out, rs))
        return StatusExit(rs, key, {});
    Out(out.text);
    return out.skipped ? kExitFailed : kExitOk;
}

}  // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        Out(QString::fromUtf8(kHelp));
        return kExitOk;
    }
    if (args.isEmpty())
        return UsageError(QStringLiteral("no command given"));

    const QString command = args.takeFirst();
    static const QStringList commands = {"query", "add", "delete", "export"};
    if (!commands.contains(command))
        return UsageError(QStringLiteral("unknown command: %1").arg(command));

    std::optional<QString> keyText, value, type, data;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        std::optional<QString>* target = nullptr;
        QString option = arg.section('=', 0, 0);
        if (option == QLatin1String("--value"))
            target = &value;
        else if (option == QLatin1String("--type"))
            target = &type;
        else if (option == QLatin1String("--data"))
            target = &data;
        if (target) {
            if (arg.contains('='))
                *target = arg.section('=', 1);
            else if (!args.isEmpty())
                *target = args.takeFirst();
            else
                return UsageError(QStringLiteral("%1 needs an argument").arg(option));
        } else if (arg.startsWith(QLatin1String("--"))) {
            return UsageError(QStringLiteral("unknown option: %1").arg(arg));
        } else if (!keyText) {
            keyText = arg;
        } else {
            return UsageError(QStringLiteral("unexpected argument: %1").arg(arg));
        }
    }
    if (!keyText)
        return UsageError(QStringLiteral("%1 needs a KEY").arg(command));
    Key key;
    if (!ParseKey(*keyText, key))
        return UsageError(QStringLiteral("KEY must start with HKCU, HKLM or HKCR: %1").arg(*keyText));
    key.display = FullName(key, key.path);
    if (REGTOOL::HasControlCharacters(key.path) || (value && REGTOOL::HasControlCharacters(*value)))
        return UsageError(QStringLiteral("key and value names cannot hold control characters"));

    if (command != QLatin1String("add") && (type || data))
        return UsageError(QStringLiteral("--type and --data belong to add"));
    if (command == QLatin1String("export") && value)
        return UsageError(QStringLiteral("export takes no --value"));

    if (command == QLatin1String("query"))
        return Query(key, value);
    if (command == QLatin1String("add"))
        return Add(key, value, type, data);
    if (command == QLatin1String("delete"))
        return Delete(key, value);
    return Export(key);
}
