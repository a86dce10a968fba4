#include "platform/Registry.h"

#include "common/MessageTable.h"
#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <sqlite3.h>

namespace PLATFORM {
namespace {

thread_local QString t_lastError;

// Long enough for another installer or script to finish its transaction on a
// loaded machine; a writer waits rather than losing its change.
constexpr int kBusyTimeoutMs = 30000;

constexpr int kSchemaVersion = 1;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY,"
    " parent INTEGER NOT NULL,"  // 0 = the hive's root
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    " id INTEGER PRIMARY KEY,"  // keeps values in the order they were first written
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key, fold));";

constexpr qint64 kRootId = 0;

QString Fold(const QString& name)
{
    return name.toCaseFolded();
}

// A key path resolved to its hive: the components below the hive's root, and
// how many of them belong to the root itself (HKCR lives below HKLM).
struct Target {
    QString hive;
    QStringList components;
    int rootDepth = 0;
    bool IsRoot() const { return components.size() == rootDepth; }
};

RegStatus Resolve(RegRoot root, const QString& path, Target& target)
{
    target.hive = CRegistry::HivePath(root);
    target.components.clear();
    target.rootDepth = 0;
    if (root == RegRoot::ClassesRoot) {
        target.components << QStringLiteral("SOFTWARE") << QStringLiteral("Classes");
        target.rootDepth = 2;
    }
    // One trailing '\' names the same key, as the Windows registry takes it.
    const QString trimmed = path.endsWith(u'\\') ? path.chopped(1) : path;
    if (trimmed.isEmpty())
        return path.isEmpty() ? RegStatus::Ok : RegStatus::Invalid;
    // No other empty components: a leading or doubled '\' is a malformed
    // path, not a way to name the key above.
    for (const QString& part : trimmed.split(QLatin1Char('\\'))) {
        if (part.isEmpty() || part.size() > CRegistry::kMaxKeyNameLength)
            return RegStatus::Invalid;
        target.components << part;
    }
    return RegStatus::Ok;
}

class CStatement {
public:
    CStatement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~CStatement() { sqlite3_finalize(m_stmt); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    bool Ok() const { return m_stmt != nullptr; }
    void Reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    void BindInt(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void BindText(int i, const QString& s)
    {
        // A null pointer would bind NULL; names are never NULL.
        static const char16_t empty[] = u"";
        sqlite3_bind_text16(m_stmt, i, s.isEmpty() ? static_cast<const void*>(empty) : s.utf16(),
                            int(s.size() * 2), SQLITE_TRANSIENT);
    }
    void BindBlob(int i, const QByteArray& b)
    {
        sqlite3_bind_blob(m_stmt, i, b.isEmpty() ? "" : b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    qint64 Int(int col) const { return sqlite3_column_int64(m_stmt, col); }
    QString Text(int col) const
    {
        const void* p = sqlite3_column_text16(m_stmt, col);
        const int bytes = sqlite3_column_bytes16(m_stmt, col);
        return p ? QString(static_cast<const QChar*>(p), bytes / 2) : QString();
    }
    QByteArray Blob(int col) const
    {
        const void* p = sqlite3_column_blob(m_stmt, col);
        const int bytes = sqlite3_column_bytes(m_stmt, col);
        return p ? QByteArray(static_cast<const char*>(p), bytes) : QByteArray();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// Open hives, kept per thread for the life of the process: opening a hive
// costs far more than a change to it, and a kept connection lets commits go to
// the write-ahead log without a sync each.
class CConnection {
public:
    explicit CConnection(sqlite3* db) : m_db(db) {}
    ~CConnection() { sqlite3_close(m_db); }
    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;

    sqlite3* Db() const { return m_db; }
    bool walTried = false;

private:
    sqlite3* m_db;
};

thread_local std::map<QString, std::unique_ptr<CConnection>> t_connections;

// One call's transaction on a hive.
class CHive {
public:
    explicit CHive(QString path) : m_path(std::move(path)) {}
    ~CHive()
    {
        if (m_inTransaction)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    CHive(const CHive&) = delete;
    CHive& operator=(const CHive&) = delete;

    sqlite3* Db() const { return m_db; }

    // NotFound when the hive (or its tables) does not exist yet; nothing is
    // created. Starts a read transaction so the call sees one state.
    RegStatus OpenForRead()
    {
        const QFileInfo info(m_path);
        if (info.exists() && !info.isFile()) {
            t_lastError = GetTextString(TEXT::RegistryNotAFile).arg(m_path);
            return RegStatus::Failed;
        }
        if (!info.isFile())
            return RegStatus::NotFound;
        if (!Connect(SQLITE_OPEN_READWRITE))
            return QFileInfo(m_path).isFile() ? RegStatus::Failed : RegStatus::NotFound;
        if (!Begin("BEGIN"))
            return RegStatus::Failed;
        CStatement st(m_db,
                      "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('keys', 'vals')");
        if (st.Step() != SQLITE_ROW)
            return Fail();
        return st.Int(0) == 2 ? RegStatus::Ok : RegStatus::NotFound;
    }

    // Creates the hive's folder, file and tables when missing and takes the
    // write lock at once, so two writers never both read and then collide.
    RegStatus OpenForWrite()
    {
        const QString folder = QFileInfo(m_path).absolutePath();
        if (!QDir().mkpath(folder)) {
            t_lastError = GetTextString(TEXT::RegistryCannotCreateFolder).arg(folder);
            return RegStatus::Failed;
        }
        if (!Connect(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE))
            return RegStatus::Failed;
        if (!m_connection->walTried) {
            // Write-ahead log with syncs only at checkpoints: each change stays
            // atomic and the hive consistent after a crash, at the cost of the
            // last changes before a power loss (the Windows registry flushes
            // lazily as well). Should the switch fail, the rollback journal
            // still keeps everything safe, only slower.
            // The log files stay beside the hive (emptied on close) so that a
            // user who cannot write the hive's folder can still read it.
            m_connection->walTried = true;
            int persist = 1;
            sqlite3_file_control(m_db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
            sqlite3_exec(m_db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
            sqlite3_exec(m_db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
            sqlite3_exec(m_db, "PRAGMA journal_size_limit = 1048576", nullptr, nullptr, nullptr);
        }
        if (!Begin("BEGIN IMMEDIATE"))
            return RegStatus::Failed;
        CStatement version(m_db, "PRAGMA user_version");
        if (version.Step() != SQLITE_ROW)
            return Fail();
        if (version.Int(0) > kSchemaVersion) {
            t_lastError = GetTextString(TEXT::RegistryNewerVersion).arg(m_path);
            return RegStatus::Failed;
        }
        if (version.Int(0) < kSchemaVersion) {
            if (!Exec(kSchema) || !Exec("PRAGMA user_version = 1"))
                return RegStatus::Failed;
        }
        return RegStatus::Ok;
    }

    RegStatus Commit()
    {
        if (!Exec("COMMIT"))
            return RegStatus::Failed;
        m_inTransaction = false;
        return RegStatus::Ok;
    }

    bool Exec(const char* sql)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
        Fail();
        return false;
    }

    RegStatus Fail()
    {
        t_lastError = QStringLiteral("%1: %2").arg(
            m_path, m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : GetTextString(TEXT::CannotOpen));
        return RegStatus::Failed;
    }

    // The key's id. With create set, missing components are made (a failure
    // is recorded); without it, a missing component gives nullopt.
    std::optional<qint64> WalkKey(const QStringList& components, bool create)
    {
        CStatement find(m_db, "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
        std::optional<CStatement> insert;
        if (create)
            insert.emplace(m_db, "INSERT INTO keys(parent, name, fold) VALUES(?1, ?2, ?3)");
        if (!find.Ok() || (insert && !insert->Ok())) {
            if (create)
                Fail();
            return std::nullopt;
        }
        qint64 id = kRootId;
        for (const QString& part : components) {
            find.Reset();
            find.BindInt(1, id);
            find.BindText(2, Fold(part));
            const int rc = find.Step();
            if (rc == SQLITE_ROW) {
                id = find.Int(0);
                continue;
            }
            if (!insert)
                return std::nullopt;
            insert->Reset();
            insert->BindInt(1, id);
            insert->BindText(2, part);
            insert->BindText(3, Fold(part));
            if (rc != SQLITE_DONE || insert->Step() != SQLITE_DONE) {
                Fail();
                return std::nullopt;
            }
            id = sqlite3_last_insert_rowid(m_db);
        }
        return id;
    }

private:
    // Reuses this thread's connection to the hive unless the file was moved,
    // deleted or replaced since; a write-protected file opens read-only.
    bool Connect(int flags)
    {
        auto it = t_connections.find(m_path);
        if (it != t_connections.end()) {
            int moved = 1;
            if (sqlite3_file_control(it->second->Db(), "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK
                && !moved) {
                m_connection = it->second.get();
                m_db = m_connection->Db();
                return true;
            }
            t_connections.erase(it);
        }
        sqlite3* db = nullptr;
        const QByteArray native = QFile::encodeName(m_path);
        const int rc = sqlite3_open_v2(native.constData(), &db, flags, nullptr);
        if (rc != SQLITE_OK) {
            t_lastError = QStringLiteral("%1: %2").arg(m_path, QString::fromUtf8(sqlite3_errstr(rc)));
            sqlite3_close(db);
            return false;
        }
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        auto connection = std::make_unique<CConnection>(db);
        m_connection = connection.get();
        m_db = db;
        t_connections[m_path] = std::move(connection);
        return true;
    }

    bool Begin(const char* sql)
    {
        if (!Exec(sql))
            return false;
        m_inTransaction = true;
        return true;
    }

    QString m_path;
    CConnection* m_connection = nullptr;
    sqlite3* m_db = nullptr;
    bool m_inTransaction = false;
};

}  // namespace

QString RootName(RegRoot root)
{
    switch (root) {
    case RegRoot::CurrentUser:
        return QStringLiteral("HKEY_CURRENT_USER");
    case RegRoot::LocalMachine:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case RegRoot::ClassesRoot:
        break;
    }
    return QStringLiteral("HKEY_CLASSES_ROOT");
}

QString CRegistry::HivePath(RegRoot root)
{
    return root == RegRoot::CurrentUser ? UserHivePath() : MachineHivePath();
}

QString CRegistry::LastError()
{
    return t_lastError;
}

QByteArray CRegistry::StringData(const QString& text)
{
    QByteArray data;
    data.reserve((text.size() + 1) * 2);
    for (const QChar c : text) {
        data.append(char(c.unicode() & 0xFF));
        data.append(char(c.unicode() >> 8));
    }
    data.append(2, '\0');
    return data;
}

QByteArray CRegistry::DwordData(quint32 value)
{
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = char((value >> (8 * i)) & 0xFF);
    return data;
}

namespace {

enum class KeyAccess {
    Read,        // never creates the hive or the key
    Write,       // an existing key of an existing hive, in a write transaction
    Create,      // creates the hive and the missing components
    WriteBelow,  // as Write, and the path must name a key below its root
};

// The one way into a key for every operation: resolves the path, opens its
// hive and finds (or creates) the key. NotFound when the hive or the key is
// missing and the access does not create them.
struct COpenKey {
    RegStatus Open(RegRoot root, const QString& path, KeyAccess access)
    {
        if (const RegStatus rs = Resolve(root, path, target); rs != RegStatus::Ok)
            return rs;
        // Wiping a whole root is never what a caller means.
        if (access == KeyAccess::WriteBelow && target.IsRoot())
            return RegStatus::Invalid;
        // Nothing to change in a hive that does not exist: do not create it.
        if ((access == KeyAccess::Write || access == KeyAccess::WriteBelow)
            && !QFileInfo(target.hive).isFile())
            return RegStatus::NotFound;
        hive.emplace(target.hive);
        const RegStatus opened = access == KeyAccess::Read ? hive->OpenForRead() : hive->OpenForWrite();
        if (opened != RegStatus::Ok)
            return opened;
        const std::optional<qint64> key = hive->WalkKey(target.components, access == KeyAccess::Create);
        if (!key)
            return access == KeyAccess::Create ? RegStatus::Failed : RegStatus::NotFound;
        id = *key;
        return RegStatus::Ok;
    }

    sqlite3* Db() { return hive->Db(); }

    Target target;
    std::optional<CHive> hive;
    qint64 id = kRootId;
};

}  // namespace

RegStatus CRegistry::CreateKey(RegRoot root, const QString& path)
{
    COpenKey key;
    if (const RegStatus rs = key.Open(root, path, KeyAccess::Create); rs != RegStatus::Ok)
        return rs;
    return key.hive->Commit();
}

bool CRegistry::KeyExists(RegRoot root, const QString& path)
{
    COpenKey key;
    const RegStatus rs = key.Open(root, path, KeyAccess::Read);
    // A root exists even before anything was written below it.
    return rs == RegStatus::Ok || (rs == RegStatus::NotFound && key.target.IsRoot());
}

RegStatus CRegistry::SetValue(RegRoot root, const QString& path, const QString& name, quint32 type,
                              const QByteArray& data)
{
    if (name.size() > kMaxValueNameLength)
        return RegStatus::Invalid;
    COpenKey key;
    if (const RegStatus rs = key.Open(root, path, KeyAccess::Create); rs != RegStatus::Ok)
        return rs;
    // An existing value keeps its place and the case of its name.
    CStatement st(key.Db(),
                  "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                  " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    st.BindInt(1, key.id);
    st.BindText(2, name);
    st.BindText(3, Fold(name));
    st.BindInt(4, type);
    st.BindBlob(5, data);
    if (st.Step() != SQLITE_DONE)
        return key.hive->Fail();
    return key.hive->Commit();
}

RegStatus CRegistry::QueryValue(RegRoot root, const QString& path, const QString& name, quint32* type,
                                QByteArray* data)
{
    COpenKey key;
    if (const RegStatus rs = key.Open(root, path, KeyAccess::Read); rs != RegStatus::Ok)
        return rs;
    CStatement st(key.Db(), "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2");
    st.BindInt(1, key.id);
    st.BindText(2, Fold(name));
    const int rc = st.Step();
    if (rc == SQLITE_DONE)
        return RegStatus::NotFound;
    if (rc != SQLITE_ROW)
        return key.hive->Fail();
    if (type)
        *type = quint32(st.Int(0));
    if (data)
        *data = st.Blob(1);
    return RegStatus::Ok;
}

RegStatus CRegistry::DeleteValue(RegRoot root, const QString& path, const QString& name)
{
    COpenKey key;
    if (const RegStatus rs = key.Open(root, path, KeyAccess::Write); rs != RegStatus::Ok)
        return rs;
    CStatement st(key.Db(), "DELETE FROM vals WHERE key = ?1 AND fold = ?2");
    st.BindInt(1, key.id);
    st.BindText(2, Fold(name));
    if (st.Step() != SQLITE_DONE)
        return key.hive->Fail();
    if (sqlite3_changes(key.Db()) == 0)
        return RegStatus::NotFound;
    return key.hive->Commit();
}

RegStatus CRegistry::EnumKey(RegRoot root, const QString& path, QStringList* subkeys, QList<RegValue>* values)
{
    if (subkeys)
        subkeys->clear();
    if (values)
        values->clear();
    COpenKey key;
    if (const RegStatus rs = key.Open(root, path, KeyAccess::Read); rs != RegStatus::Ok) {
        // A root exists even before anything was written below it.
        return rs == RegStatus::NotFound && key.target.IsRoot() ? RegStatus::Ok : rs;
    }
    if (subkeys) {
        CStatement st(key.Db(), "SELECT name FROM keys WHERE parent = ?1 ORDER BY fold");
        st.BindInt(1, key.id);
        int rc;
        while ((rc = st.Step()) == SQLITE_ROW)
            subkeys->append(st.Text(0));
        if (rc != SQLITE_DONE)
            return key.hive->Fail();
    }
    if (values) {
        CStatement st(key.Db(), "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id");
        st.BindInt(1, key.id);
        int rc;
        while ((rc = st.Step()) == SQLITE_ROW)
            values->append(RegValue{st.Text(0), quint32(st.Int(1)), st.Blob(2)});
        if (rc != SQLITE_DONE)
            return key.hive->Fail();
    }
    return RegStatus::Ok;
}

RegStatus CRegistry::DeleteKey(RegRoot root, const QString& path)
{
    COpenKey key;
    if (const RegStatus rs = key.Open(root, path, KeyAccess::WriteBelow); rs != RegStatus::Ok)
        return rs;
    CHive& hive = *key.hive;

    std::vector<qint64> ids;
    {
        CStatement tree(
            hive.Db(),
            "WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN t ON k.parent = t.id)"
            " SELECT id FROM t");
        tree.BindInt(1, key.id);
        int rc;
        while ((rc = tree.Step()) == SQLITE_ROW)
            ids.push_back(tree.Int(0));
        if (rc != SQLITE_DONE)
            return hive.Fail();
    }
    CStatement dropValues(hive.Db(), "DELETE FROM vals WHERE key = ?1");
    CStatement dropKey(hive.Db(), "DELETE FROM keys WHERE id = ?1");
    for (const qint64 id : ids) {
        dropValues.Reset();
        dropValues.BindInt(1, id);
        dropKey.Reset();
        dropKey.BindInt(1, id);
        if (dropValues.Step() != SQLITE_DONE || dropKey.Step() != SQLITE_DONE)
            return hive.Fail();
    }
    return hive.Commit();
}

}  // namespace PLATFORM
