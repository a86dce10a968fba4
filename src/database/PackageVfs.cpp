#include "database/PackageVfs.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include <sqlite3.h>

namespace DATABASE {
namespace {

constexpr const char kVfsName[] = "norvex-package";
// Read-ahead starts small, so a short run of pages costs little, and doubles
// while the reads stay sequential.
constexpr int kFirstWindow = 16 * 1024;
constexpr int kLargestWindow = 512 * 1024;

struct PackageFile {
    sqlite3_file base;  // first, as SQLite requires
    int fd;
    sqlite3_int64 offset;  // of the database inside the file
    sqlite3_int64 size;
    sqlite3_int64 nextRead;  // where the last read ended
    unsigned char* window;
    int windowCapacity;
    sqlite3_int64 windowStart;
    int windowLength;
};

// count bytes at the database's position at; the bytes it got.
sqlite3_int64 ReadAt(const PackageFile& f, void* buffer, sqlite3_int64 count, sqlite3_int64 at)
{
    return PLATFORM::ReadAt(f.fd, buffer, count, f.offset + at);
}

// One window is kept for the next connection: a package is opened afresh for
// every entry, and a new window each time would cost fresh pages each time.
unsigned char*& SpareWindow()
{
    thread_local struct Spare {
        unsigned char* window = nullptr;
        ~Spare() { delete[] window; }
    } spare;
    return spare.window;
}

unsigned char* TakeWindow()
{
    unsigned char* window = std::exchange(SpareWindow(), nullptr);
    return window ? window : new (std::nothrow) unsigned char[size_t(kLargestWindow)];
}

void GiveBackWindow(unsigned char* window)
{
    if (window && !SpareWindow())
        SpareWindow() = window;
    else
        delete[] window;
}

int Close(sqlite3_file* file)
{
    auto* f = reinterpret_cast<PackageFile*>(file);
    PLATFORM::CFileHandle(f->fd).Close();
    GiveBackWindow(f->window);
    f->window = nullptr;
    return SQLITE_OK;
}

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 at)
{
    auto* f = reinterpret_cast<PackageFile*>(file);
    auto* out = static_cast<unsigned char*>(buffer);
    if (amount < 0 || at < 0)
        return SQLITE_IOERR_READ;
    const bool sequential = at == f->nextRead;
    f->nextRead = at + amount;

    const sqlite3_int64 available = std::clamp<sqlite3_int64>(f->size - at, 0, amount);
    if (available < amount)
        std::memset(out + available, 0, size_t(amount - available));
    if (available == 0)
        return SQLITE_IOERR_SHORT_READ;

    const auto inWindow = [&] {
        return at >= f->windowStart && at + available <= f->windowStart + f->windowLength;
    };
    if (!inWindow()) {
        if (!sequential) {
            f->windowLength = 0;
            f->windowCapacity = 0;  // a jump: the next run starts small again
        } else {
            const int capacity = std::min(kLargestWindow, std::max(kFirstWindow, f->windowCapacity * 2));
            if (available < capacity) {
                if (!f->window)
                    f->window = TakeWindow();
                if (f->window) {
                    f->windowCapacity = capacity;
                    const sqlite3_int64 got =
                        ReadAt(*f, f->window, std::min<sqlite3_int64>(capacity, f->size - at), at);
                    f->windowStart = at;
                    f->windowLength = got < 0 ? 0 : int(got);
                }
            }
        }
    }
    if (inWindow()) {
        std::memcpy(out, f->window + (at - f->windowStart), size_t(available));
    } else {
        const sqlite3_int64 got = ReadAt(*f, out, available, at);
        if (got < 0)
            return SQLITE_IOERR_READ;
        if (got < available) {
            std::memset(out + got, 0, size_t(amount - got));
            return SQLITE_IOERR_SHORT_READ;
        }
    }
    return available < amount ? SQLITE_IOERR_SHORT_READ : SQLITE_OK;
}

int Write(sqlite3_file*, const void*, int, sqlite3_int64)
{
    return SQLITE_READONLY;
}
int Truncate(sqlite3_file*, sqlite3_int64)
{
    return SQLITE_READONLY;
}
int Sync(sqlite3_file*, int)
{
    return SQLITE_OK;
}

int FileSize(sqlite3_file* file, sqlite3_int64* size)
{
    *size = reinterpret_cast<PackageFile*>(file)->size;
    return SQLITE_OK;
}

int Lock(sqlite3_file*, int)
{
    return SQLITE_OK;
}
int Unlock(sqlite3_file*, int)
{
    return SQLITE_OK;
}

int CheckReservedLock(sqlite3_file*, int* reserved)
{
    *reserved = 0;
    return SQLITE_OK;
}

int FileControl(sqlite3_file*, int, void*)
{
    return SQLITE_NOTFOUND;
}
int SectorSize(sqlite3_file*)
{
    return 4096;
}
int DeviceCharacteristics(sqlite3_file*)
{
    return SQLITE_IOCAP_IMMUTABLE;
}

const sqlite3_io_methods kMethods = {
    1,
    Close,
    Read,
    Write,
    Truncate,
    Sync,
    FileSize,
    Lock,
    Unlock,
    CheckReservedLock,
    FileControl,
    SectorSize,
    DeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

sqlite3_vfs* DefaultVfs()
{
    static sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    return vfs;
}

int Open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    file->pMethods = nullptr;
    // Only the main database, only for reading: no journal is ever needed.
    if (!name || !(flags & SQLITE_OPEN_MAIN_DB) || (flags & (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)))
        return SQLITE_CANTOPEN;
    const sqlite3_int64 offset = sqlite3_uri_int64(name, "offset", 0);
    const sqlite3_int64 size = sqlite3_uri_int64(name, "size", -1);
    // The name is used as given: following links here could open another file.
    PLATFORM::CFileHandle handle = PLATFORM::OpenForReading(QFile::decodeName(name));
    if (!handle.IsOpen())
        return SQLITE_CANTOPEN;
    PLATFORM::FileIdentity identity;
    if (handle.Identify(&identity) != 0 || !identity.IsFile() || offset < 0 || offset > identity.size
        || (size >= 0 && size > identity.size - offset))
        return SQLITE_CANTOPEN;
    auto* f = reinterpret_cast<PackageFile*>(file);
    f->fd = handle.Release();
    f->offset = offset;
    f->size = size >= 0 ? size : identity.size - offset;
    f->nextRead = -1;
    f->window = nullptr;
    f->windowCapacity = 0;
    f->windowStart = 0;
    f->windowLength = 0;
    file->pMethods = &kMethods;
    if (outFlags)
        *outFlags = SQLITE_OPEN_READONLY;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char*, int)
{
    return SQLITE_IOERR_DELETE;
}

// Nothing beside a package is ever looked at: no journal, no WAL.
int Access(sqlite3_vfs*, const char*, int, int* result)
{
    *result = 0;
    return SQLITE_OK;
}

int FullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    const size_t n = std::strlen(name);
    if (int(n) >= size)
        return SQLITE_CANTOPEN;
    std::memcpy(out, name, n + 1);
    return SQLITE_OK;
}

void* DlOpen(sqlite3_vfs*, const char* name)
{
    return DefaultVfs()->xDlOpen(DefaultVfs(), name);
}
void DlError(sqlite3_vfs*, int n, char* text)
{
    DefaultVfs()->xDlError(DefaultVfs(), n, text);
}
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void)
{
    return DefaultVfs()->xDlSym(DefaultVfs(), handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle)
{
    DefaultVfs()->xDlClose(DefaultVfs(), handle);
}
int Randomness(sqlite3_vfs*, int n, char* out)
{
    return DefaultVfs()->xRandomness(DefaultVfs(), n, out);
}
int Sleep(sqlite3_vfs*, int microseconds)
{
    return DefaultVfs()->xSleep(DefaultVfs(), microseconds);
}
int CurrentTime(sqlite3_vfs*, double* now)
{
    return DefaultVfs()->xCurrentTime(DefaultVfs(), now);
}
int GetLastError(sqlite3_vfs*, int n, char* text)
{
    return DefaultVfs()->xGetLastError ? DefaultVfs()->xGetLastError(DefaultVfs(), n, text) : 0;
}

sqlite3_vfs g_vfs = {
    1,           int(sizeof(PackageFile)),
    4096,        nullptr,
    kVfsName,    nullptr,
    Open,        Delete,
    Access,      FullPathname,
    DlOpen,      DlError,
    DlSym,       DlClose,
    Randomness,  Sleep,
    CurrentTime, GetLastError,
    nullptr,     nullptr,
    nullptr,     nullptr,
};

}  // namespace

const char* PackageVfsName()
{
    static std::once_flag once;
    std::call_once(once, [] {
        DefaultVfs();
        sqlite3_vfs_register(&g_vfs, 0);
    });
    return kVfsName;
}

QByteArray PackageVfsUri(const PackageSource& package)
{
    // An empty authority, then the absolute path with everything but plain
    // characters percent-encoded ('?', '#' and '%' would end or change it).
    QByteArray uri = "file://";
    static const char hex[] = "0123456789ABCDEF";
    for (const char c : QFile::encodeName(QFileInfo(package.path).absoluteFilePath())) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '/' || u == '-'
            || u == '_' || u == '.' || u == '~') {
            uri += c;
        } else {
            uri += '%';
            uri += hex[u >> 4];
            uri += hex[u & 0x0F];
        }
    }
    uri += "?offset=" + QByteArray::number(package.offset);
    if (package.IsRange())
        uri += "&size=" + QByteArray::number(package.size);
    return uri;
}

}  // namespace DATABASE
