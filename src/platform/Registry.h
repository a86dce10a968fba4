// The registry store: hierarchical keys with typed values under three roots,
// kept in SQLite hive files (HKCU in the user hive, HKLM in the machine hive,
// HKCR = HKLM\SOFTWARE\Classes).
//
// Key paths are components separated by '\' below a root; the empty path is
// the root itself. Key and value names compare case-insensitively and keep the
// case they were created with. The empty value name is the key's default value.
// Every call is one transaction, so several processes may use a hive at once;
// writers wait for each other instead of losing updates. A thread keeps its
// hives open between calls. Reading a hive that does not exist creates
// nothing.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace PLATFORM {

enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot };

// "HKEY_CURRENT_USER" and its kin: the names messages, logs and exports use.
QString RootName(RegRoot root);

// Value types, with the numbers the registry has always used for them.
enum RegType : quint32 {
    RegNone = 0,
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
    RegMultiSz = 7,
    RegQword = 11,
};

enum class RegStatus {
    Ok,
    NotFound,  // the key (or value) does not exist
    Invalid,   // a malformed key path or name, or an operation on a root itself
    Failed,    // the hive could not be read or written; see CRegistry::LastError()
};

struct RegValue {
    QString name;  // empty = the default value
    quint32 type = RegNone;
    QByteArray data;
};

class CRegistry {
public:
    // Longest key name component and value name accepted.
    static constexpr int kMaxKeyNameLength = 255;
    static constexpr int kMaxValueNameLength = 16383;

    // Creates the key and every missing key above it.
    static RegStatus CreateKey(RegRoot root, const QString& path);
    // A root always exists.
    static bool KeyExists(RegRoot root, const QString& path);

    // Creates the key when missing and writes the value (replacing its type and
    // data when it exists; its stored name keeps its case).
    static RegStatus SetValue(RegRoot root, const QString& path, const QString& name, quint32 type,
                              const QByteArray& data);
    // type and data may be null.
    static RegStatus QueryValue(RegRoot root, const QString& path, const QString& name, quint32* type,
                                QByteArray* data);
    static RegStatus DeleteValue(RegRoot root, const QString& path, const QString& name);

    // Direct subkey names (sorted case-insensitively) and values (in the order
    // they were first written) of one key; either pointer may be null.
    static RegStatus EnumKey(RegRoot root, const QString& path, QStringList* subkeys,
                             QList<RegValue>* values);

    // Deletes the key with all its subkeys and values. A root cannot be
    // deleted (Invalid), nor can HKCR's own key.
    static RegStatus DeleteKey(RegRoot root, const QString& path);

    // The hive file that holds the root.
    static QString HivePath(RegRoot root);

    // What went wrong in the last call that returned Failed (this thread).
    static QString LastError();

    // Value data in the registry's byte forms: UTF-16LE text with its
    // terminating zero, and a 32-bit number little-endian.
    static QByteArray StringData(const QString& text);
    static QByteArray DwordData(quint32 value);
};

}  // namespace PLATFORM
