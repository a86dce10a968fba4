#include "UpdateTestSupport.h"

#include "support/CaseName.h"

#include "update/HttpDownload.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>

using namespace UPDATETEST;

namespace {

constexpr qint64 kJune2021 = 1623233894;  // 2021-06-09 10:18:14 UTC
const QString kJune2021Text = QStringLiteral("Wed, 09 Jun 2021 10:18:14 GMT");

QByteArray Pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(i % 251);
    return bytes;
}

qint64 ModificationTime(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return st.st_mtim.tv_nsec == 0 ? qint64(st.st_mtim.tv_sec) : -2;
}

void SetModificationTime(const QString& path, qint64 seconds)
{
    struct timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

QString Query(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

class HttpDownloadTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearProxyEnvironment();
        QDir().mkpath(folder);
    }

    const QString folder = TESTS::SandboxPath("downloads");
    const QString target = folder + "/file.bin";
    CRecordingProgress progress;
};

// ParseHttpDate reads fixed positions; the dates as the file gets them follow.
struct DateCase {
    const char* text;
    std::optional<HttpDate> fields;
};

void PrintTo(const DateCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class ParseHttpDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(ParseHttpDateTest, ReadsFieldsFromFixedPositions)
{
    EXPECT_EQ(ParseHttpDate(QString::fromUtf8(GetParam().text)), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ParseHttpDateTest,
    testing::Values(DateCase{"Wed, 09 Jun 2021 10:18:14 GMT", HttpDate{2021, 6, 9, 10, 18, 14}},
                    DateCase{"Sun, 06 Nov 1994 08:49:37 GMT", HttpDate{1994, 11, 6, 8, 49, 37}},
                    DateCase{"Fri,   31 dec 1999\t23:59:59", HttpDate{1999, 12, 31, 23, 59, 59}},
                    // No blank after the year: 2000, and the clock comes from the year's digits.
                    DateCase{"Wed, 09 Jun 2021", HttpDate{2000, 6, 9, 20, 1, 0}},
                    DateCase{"Wed, 09 Xyz 2021 10:18:14 GMT", HttpDate{2021, 1, 9, 10, 18, 14}},
                    DateCase{"Wed, 9 Jun 2021 10:18:14 GMT", HttpDate{2021, 1, 9, 10, 18, 14}},
                    DateCase{"Wed, 09 Jun 1800 10:18:14 GMT", HttpDate{1800, 6, 9, 10, 18, 14}},
                    DateCase{"Wed, ", HttpDate{2000, 1, 0, 0, 0, 0}},
                    DateCase{"Wed Jun  9 10:18:14 2021", std::nullopt}, DateCase{"", std::nullopt}));

// The Last-Modified value as the stored file's time; no value when the
// download fails, kNoTime when the file keeps the time of its writing.
constexpr qint64 kNoTime = 0;
struct LastModifiedCase {
    const char* header;
    std::optional<qint64> time;
};

void PrintTo(const LastModifiedCase& c, std::ostream* os)
{
    *os << '"' << c.header << '"';
}

class LastModifiedTest : public HttpDownloadTest, public testing::WithParamInterface<LastModifiedCase> {};

TEST_P(LastModifiedTest, GivesTheFileItsTimeOrFails)
{
    CTestServer server;
    server.Serve("/f.bin", "payload");
    const QString url = server.Url("/f.bin?lm=" + Query(QString::fromUtf8(GetParam().header)));
    const bool ok = HttpDownloadFile(url, target, "f", &progress, "t");
    ASSERT_EQ(ok, GetParam().time.has_value());
    if (!ok) {
        EXPECT_TRUE(FolderEntries(folder).isEmpty());
        return;
    }
    EXPECT_EQ(TESTS::ReadFileBytes(target), "payload");
    if (*GetParam().time == kNoTime)
        EXPECT_GT(QFileInfo(target).lastModified().toSecsSinceEpoch(), kJune2021 + 86400 * 365);
    else
        EXPECT_EQ(ModificationTime(target), *GetParam().time);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, LastModifiedTest,
    testing::Values(LastModifiedCase{"Wed, 09 Jun 2021 10:18:14 GMT", kJune2021},
                    LastModifiedCase{"Wed, 09 Jun 2021", 960580860},                // 2000-06-09 20:01:00
                    LastModifiedCase{"Wed, 31 Feb 2021 10:18:14 GMT", 1614766694},  // runs on to 3 March
                    LastModifiedCase{"Wed Jun  9 10:18:14 2021", kNoTime},          // no comma: no date
                    LastModifiedCase{"Wed, 09 Jun 1800 10:18:14 GMT", std::nullopt},
                    LastModifiedCase{"Wed, 09 Jun 3001 10:18:14 GMT", std::nullopt},
                    LastModifiedCase{"Wed, 00 Jun 2021 10:18:14 GMT", std::nullopt},
                    LastModifiedCase{"Wed, 09 Jun 2021 24:00:00 GMT", std::nullopt},
                    LastModifiedCase{"Wed, 09 Jun 2021 10:60:00 GMT", std::nullopt}));

TEST_F(HttpDownloadTest, StoresTheBodyAndShowsProgress)
{
    CTestServer server;
    const QByteArray body = Pattern(200000);
    server.Serve("/f.bin", body);
    ASSERT_TRUE(HttpDownloadFile(server.Url("/f.bin"), target, "setup", &progress, "下载文件"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), body);
    EXPECT_EQ(FolderEntries(folder), QStringList{"file.bin"});

    EXPECT_EQ(progress.starts, QStringList{"下载文件"});
    EXPECT_EQ(progress.line1, QStringList{"下载文件"});
    EXPECT_EQ(progress.cancelMessage, "用户中止下载操作...");
    EXPECT_EQ(progress.stops, 1);
    ASSERT_FALSE(progress.line2.isEmpty());
    EXPECT_EQ(progress.line2.first(), "下载 setup  ( 0 / 200000 )...");
    EXPECT_EQ(progress.line2.last(), "下载 setup  ( 200000 / 200000 )...");
    ASSERT_FALSE(progress.progress.empty());
    EXPECT_EQ(progress.progress.back(), std::make_pair(qint64(200000), qint64(200000)));
    for (const auto& [done, total] : progress.progress)
        EXPECT_LE(done, 200000);
}

TEST_F(HttpDownloadTest, DownloadedProgramGetsNoRunBitAndReplacesALink)
{
    CTestServer server;
    const QByteArray program = QByteArray::fromHex("7f454c46020101");
    server.Serve("/f.bin", program);
    const QString elsewhere = folder + "/elsewhere";
    TESTS::WriteFileBytes(elsewhere, "not to be written through");
    ASSERT_TRUE(QFile::link(elsewhere, target));
    ASSERT_TRUE(HttpDownloadFile(server.Url("/f.bin"), target, "x", nullptr, "t"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), program);
    EXPECT_FALSE(QFileInfo(target).isSymLink());
    EXPECT_EQ(TESTS::ReadFileBytes(elsewhere), "not to be written through");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask);
}

TEST_F(HttpDownloadTest, WithoutContentLengthCountsAgainstZero)
{
    CTestServer server;
    server.Serve("/f.bin", Pattern(70000));
    ASSERT_TRUE(HttpDownloadFile(server.Url("/f.bin?nolen=1"), target, "x", &progress, "t"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), Pattern(70000));
    ASSERT_FALSE(progress.line2.isEmpty());
    EXPECT_EQ(progress.line2.first(), "下载 x  ( 0 / 0 )...");
    EXPECT_EQ(progress.line2.last(), "下载 x  ( 70000 / 0 )...");
}

TEST_F(HttpDownloadTest, CountersGoPastTwoGibibytes)
{
    CTestServer server;
    server.Serve("/f.bin", "only a little");
    // The server announces 3 GiB and stops early: the numbers must not wrap,
    // and the short body is a failure.
    EXPECT_FALSE(HttpDownloadFile(server.Url("/f.bin?len=3221225472"), target, "big", &progress, "t"));
    ASSERT_FALSE(progress.line2.isEmpty());
    EXPECT_EQ(progress.line2.first(), "下载 big  ( 0 / 3221225472 )...");
    EXPECT_TRUE(FolderEntries(folder).isEmpty());
}

TEST_F(HttpDownloadTest, UpToDateTargetIsNotTransferred)
{
    CTestServer server;
    server.Serve("/f.bin", "server bytes");
    TESTS::WriteFileBytes(target, "local  bytes");  // same size
    SetModificationTime(target, kJune2021);

    const QString url = server.Url("/f.bin?hold=1&lm=" + Query(kJune2021Text));
    ASSERT_TRUE(HttpDownloadFile(url, target, "x", &progress, "t"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), "local  bytes");
    EXPECT_TRUE(progress.starts.isEmpty());
    EXPECT_EQ(server.RequestCount("/f.bin"), 1);
    // The server notes the hang-up on its own thread, maybe after we return.
    qint64 sent = -1;
    for (int i = 0; i < 1000 && (sent = server.BodyBytesSent("/f.bin")) < 0; ++i)
        QThread::msleep(20);
    EXPECT_EQ(sent, 0);
}

TEST_F(HttpDownloadTest, TargetWithAnotherTimeIsReplaced)
{
    CTestServer server;
    server.Serve("/f.bin", "server bytes");
    TESTS::WriteFileBytes(target, "local  bytes");
    SetModificationTime(target, kJune2021 + 1);
    ASSERT_TRUE(HttpDownloadFile(server.Url("/f.bin?lm=" + Query(kJune2021Text)), target, "x", nullptr, "t"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), "server bytes");
    EXPECT_EQ(ModificationTime(target), kJune2021);
}

// A cancel fails the download, also when the server gave no length to reach.
class CancelTest : public HttpDownloadTest, public testing::WithParamInterface<const char*> {};

TEST_P(CancelTest, CancelHalfwayFailsAndLeavesNoFile)
{
    CTestServer server;
    constexpr qint64 size = 5 * 1024 * 1024;
    progress.cancelAt = size / 2;
    const QString url = server.Url(QStringLiteral("/gen/big?size=%1&slow=20").arg(size) + GetParam());
    EXPECT_FALSE(HttpDownloadFile(url, target, "big", &progress, "t"));
    ASSERT_FALSE(progress.progress.empty());
    const qint64 reached = progress.progress.back().first;
    EXPECT_GE(reached, size / 2);
    EXPECT_LT(reached, size);
    EXPECT_EQ(progress.stops, 1);
    EXPECT_TRUE(FolderEntries(folder).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Lengths, CancelTest, testing::Values("", "&nolen=1"));

TEST_F(HttpDownloadTest, FailureKeepsAnEarlierTarget)
{
    CTestServer server;
    TESTS::WriteFileBytes(target, "earlier");
    EXPECT_FALSE(HttpDownloadFile(server.Url("/status/404"), target, "x", &progress, "t"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), "earlier");
    EXPECT_EQ(FolderEntries(folder), QStringList{"file.bin"});
    EXPECT_TRUE(progress.starts.isEmpty());
}

// Plain copies (no progress display) and the ways a request can fail.
struct RequestCase {
    const char* name;
    const char* path;  // on the server; absolute URLs as they are
    bool ok;
};

void PrintTo(const RequestCase& c, std::ostream* os)
{
    *os << c.name;
}

class RequestTest : public HttpDownloadTest, public testing::WithParamInterface<RequestCase> {};

TEST_P(RequestTest, StoresOnlyACompleteBody)
{
    CTestServer server;
    server.Serve("/f.bin", "complete body");
    const QString path = QString::fromUtf8(GetParam().path);
    const QString url = path.startsWith('/') ? server.Url(path) : path;
    EXPECT_EQ(HttpDownloadFile(url, target, "x", nullptr, "t"), GetParam().ok);
    if (GetParam().ok)
        EXPECT_EQ(TESTS::ReadFileBytes(target),
                  QStringLiteral("/hops/10") == path ? "arrived\n" : "complete body");
    else
        EXPECT_TRUE(FolderEntries(folder).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestTest,
    testing::Values(
        RequestCase{"Plain", "/f.bin", true}, RequestCase{"NoContentLength", "/f.bin?nolen=1", true},
        RequestCase{"Redirect", "/redirect?to=%2Ff.bin", true},
        RequestCase{"PermanentRedirect", "/redirect?code=301&to=%2Ff.bin", true},
        RequestCase{"TenRedirects", "/hops/10", true}, RequestCase{"ElevenRedirects", "/hops/11", false},
        RequestCase{"NotFound", "/status/404", false}, RequestCase{"NoContent", "/status/204", false},
        RequestCase{"ServerError", "/status/500", false},
        RequestCase{"RedirectWithoutLocation", "/status/302", false},
        RequestCase{"BodyCutShort", "/f.bin?len=100", false},
        RequestCase{"OtherScheme", "ftp://127.0.0.1/f.bin", false},
        RequestCase{"RedirectToOtherScheme", "/redirect?to=file%3A%2F%2F%2Fetc%2Fpasswd", false},
        RequestCase{"NoUrl", "not a url", false},
        RequestCase{"ClosedPort", "http://127.0.0.1:1/f.bin", false}),
    TESTS::CaseName());

TEST_F(HttpDownloadTest, TargetInAMissingFolderFails)
{
    CTestServer server;
    server.Serve("/f.bin", "body");
    EXPECT_FALSE(HttpDownloadFile(server.Url("/f.bin"), folder + "/missing/file.bin", "x", &progress, "t"));
    EXPECT_TRUE(FolderEntries(folder).isEmpty());
}

TEST_F(HttpDownloadTest, SendsTheApplicationNameAsUserAgent)
{
    CTestServer server;
    server.Serve("/f.bin", "body");
    QCoreApplication::setApplicationName("LabelPrintSetup");
    ASSERT_TRUE(HttpDownloadFile(server.Url("/f.bin"), target, "x", nullptr, "t"));
    EXPECT_EQ(server.UserAgents(), QStringList{"LabelPrintSetup"});
}

TEST_F(HttpDownloadTest, FollowsTheProxyEnvironment)
{
    CTestServer server;
    server.Serve("/f.bin", "through the proxy");
    setenv("http_proxy", server.Url("").toUtf8().constData(), 1);
    // The host does not exist; only the proxy can answer.
    ASSERT_TRUE(HttpDownloadFile("http://files.invalid/f.bin", target, "x", nullptr, "t"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), "through the proxy");
}

// Certificates are checked against the trusted authorities; the test
// authority only counts through the test-only variable.
struct TlsCase {
    const char* certificate;
    bool trustTestAuthority;
    bool ok;
};

void PrintTo(const TlsCase& c, std::ostream* os)
{
    *os << c.certificate << (c.trustTestAuthority ? " with" : " without") << " the test authority";
}

class TlsTest : public HttpDownloadTest, public testing::WithParamInterface<TlsCase> {};

TEST_P(TlsTest, VerifiesPeerAndHost)
{
    CTestServer server(true);
    server.Serve("/f.bin", "secure body");
    if (GetParam().trustTestAuthority)
        setenv(kTestCaFileVariable, (MakeCertificates() + "/ca.pem").toUtf8().constData(), 1);
    EXPECT_EQ(HttpDownloadFile(server.TlsUrl(GetParam().certificate, "/f.bin"), target, "x", &progress, "t"),
              GetParam().ok);
    if (GetParam().ok)
        EXPECT_EQ(TESTS::ReadFileBytes(target), "secure body");
    else
        EXPECT_TRUE(FolderEntries(folder).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Certificates, TlsTest,
                         testing::Values(TlsCase{"good", true, true}, TlsCase{"good", false, false},
                                         TlsCase{"selfsigned", true, false}, TlsCase{"expired", true, false},
                                         TlsCase{"wrongname", true, false}),
                         [](const testing::TestParamInfo<TlsCase>& row) {
                             return std::string(row.param.certificate)
                                 + (row.param.trustTestAuthority ? "Trusted" : "Untrusted");
                         });

TEST_F(HttpDownloadTest, RedirectFromHttpsToHttpIsRefused)
{
    CTestServer server(true);
    server.Serve("/f.bin", "body");
    setenv(kTestCaFileVariable, (MakeCertificates() + "/ca.pem").toUtf8().constData(), 1);

    const QString down = server.TlsUrl("good", "/redirect?to=" + Query(server.Url("/f.bin")));
    EXPECT_FALSE(HttpDownloadFile(down, target, "x", &progress, "t"));
    EXPECT_EQ(server.RequestCount("/f.bin"), 0);
    EXPECT_TRUE(FolderEntries(folder).isEmpty());

    const QString across = server.TlsUrl("good", "/redirect?to=" + Query(server.TlsUrl("good", "/f.bin")));
    EXPECT_TRUE(HttpDownloadFile(across, target, "x", &progress, "t"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), "body");
}

}  // namespace
