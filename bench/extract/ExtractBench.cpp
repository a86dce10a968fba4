// Throughput of package extraction and file digests, and the memory one
// extraction needs. scripts/bench.sh builds the inputs and compares the
// figures with unzip and md5sum.
//
// Inputs come from flags (or the environment variables in brackets):
//   --package=FILE   [NORVEX_BENCH_PACKAGE]  package to extract from
//   --out=DIR        [NORVEX_BENCH_OUT]      folder the entries are written to
//   --md5-file=FILE  [NORVEX_BENCH_MD5_FILE] file digested by BM_MD5OfFile
//   --peak-memory=NAME  extract only this entry, print the peak resident set and exit
#include "common/MD5Encode.h"
#include "engine/InstallEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <sqlite3.h>
#include <sys/resource.h>

namespace {

struct Options {
    std::string package;
    std::string out;
    std::string md5File;
    std::string peakEntry;
};

Options g_options;

struct Entry {
    QString name;
    QString relativePath;  // where unzip would put it: the entry's source path
};

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : fallback;
}

// Takes our flags out of argv so that Google Benchmark sees only its own.
void ParseOptions(int& argc, char** argv)
{
    g_options.package = EnvOr("NORVEX_BENCH_PACKAGE", "");
    g_options.out = EnvOr("NORVEX_BENCH_OUT", "");
    g_options.md5File = EnvOr("NORVEX_BENCH_MD5_FILE", "");
    const struct {
        const char* prefix;
        std::string* value;
    } flags[] = {{"--package=", &g_options.package},
                 {"--out=", &g_options.out},
                 {"--md5-file=", &g_options.md5File},
                 {"--peak-memory=", &g_options.peakEntry}};
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        bool ours = false;
        for (const auto& flag : flags) {
            const size_t n = std::strlen(flag.prefix);
            if (std::strncmp(argv[i], flag.prefix, n) == 0) {
                *flag.value = argv[i] + n;
                ours = true;
            }
        }
        if (!ours)
            argv[kept++] = argv[i];
    }
    argc = kept;
}

// Every entry of the package, read with plain SQLite so the listing does not
// depend on the code under test.
bool ListEntries(const std::string& package, std::vector<Entry>& entries, std::string& error)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(package.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : "cannot open package";
        sqlite3_close(db);
        return false;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "select name, pack from files order by id", -1, &stmt, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        sqlite3_close(db);
        return false;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const auto text = [stmt](int col) {
            return QString::fromUtf16(static_cast<const char16_t*>(sqlite3_column_text16(stmt, col)),
                                      sqlite3_column_bytes16(stmt, col) / 2);
        };
        Entry entry{text(0), text(1)};
        if (entry.relativePath.isEmpty())
            entry.relativePath = entry.name;
        entries.push_back(entry);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (entries.empty()) {
        error = "package has no entries";
        return false;
    }
    return true;
}

QString OutFolder()
{
    QString folder = QString::fromStdString(g_options.out);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

// Extracts every entry the way file deployment does: one ExtractPackageFile per
// entry, each opening the package afresh, folders created on the way.
void BM_ExtractAll(benchmark::State& state)
{
    if (g_options.package.empty() || g_options.out.empty()) {
        state.SkipWithError("needs --package and --out");
        return;
    }
    std::vector<Entry> entries;
    std::string error;
    if (!ListEntries(g_options.package, entries, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    CInstallEngine engine;
    engine.Package.path = QString::fromStdString(g_options.package);
    const QString out = OutFolder();

    int64_t bytes = 0;
    for (auto _ : state) {
        QSet<QString> made;
        for (const Entry& entry : entries) {
            const QString target = out + entry.relativePath;
            const QString folder = QFileInfo(target).path();
            if (!made.contains(folder)) {
                QDir().mkpath(folder);
                made.insert(folder);
            }
            int length = 0;
            if (!engine.ExtractPackageFile(entry.name, target, true, &length)) {
                state.SkipWithError(("extraction failed: " + entry.name.toStdString()).c_str());
                return;
            }
            bytes += length;
        }
    }
    state.SetBytesProcessed(bytes);
    state.counters["entries"] = double(entries.size());
}
BENCHMARK(BM_ExtractAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_MD5OfFile(benchmark::State& state)
{
    if (g_options.md5File.empty()) {
        state.SkipWithError("needs --md5-file");
        return;
    }
    const QString path = QString::fromStdString(g_options.md5File);
    const int64_t size = QFileInfo(path).size();
    for (auto _ : state) {
        const QString digest = GetMD5OfFile(path);
        if (digest.isEmpty()) {
            state.SkipWithError("file cannot be read");
            return;
        }
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_MD5OfFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Peak resident set in KiB: the kernel's high-water mark, or ru_maxrss.
long PeakRssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CurrentRssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// Runs in a fresh process so the high-water mark belongs to this one extraction.
int RunPeakMemory()
{
    if (g_options.package.empty() || g_options.out.empty()) {
        std::fprintf(stderr, "--peak-memory needs --package and --out\n");
        return 2;
    }
    QDir().mkpath(QString::fromStdString(g_options.out));
    const QString name = QString::fromStdString(g_options.peakEntry);
    const QString target = OutFolder() + QFileInfo(name).fileName();

    CInstallEngine engine;
    engine.Package.path = QString::fromStdString(g_options.package);
    const long before = PeakRssKiB();
    int length = 0;
    if (!engine.ExtractPackageFile(name, target, true, &length)) {
        std::fprintf(stderr, "extraction of %s failed\n", g_options.peakEntry.c_str());
        return 1;
    }
    const long peak = PeakRssKiB();
    std::printf("entry_bytes %d\nrss_before_kib %ld\npeak_rss_kib %ld\nrss_after_kib %ld\n", length, before,
                peak, CurrentRssKiB());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    ParseOptions(argc, argv);
    if (!g_options.peakEntry.empty())
        return RunPeakMemory();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
