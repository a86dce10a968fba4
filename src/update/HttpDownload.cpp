#include "update/HttpDownload.h"

#include "common/DecimalText.h"
#include "common/TextFormat.h"
#include "platform/FileSystem.h"
#include "platform/FileWriter.h"
#include "platform/SharedLibrary.h"
#include "update/DownloadProgress.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <memory>

#include <curl/curl.h>

namespace {

constexpr long kConnectTimeoutMs = 10000;
constexpr long kReadSize = 65535;
constexpr int kMaxRedirects = 10;
// A server that sends nothing for this long has gone away; without it a
// stalled transfer would block the one thread for good.
constexpr long kStallSeconds = 60;

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

QStringView TrimLeft(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return text.mid(i);
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
qint64 DaysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

// libcurl is opened at the first download, not at start: the window comes up
// without loading the score of libraries behind it, and a machine without
// libcurl loses only the online parts.
constexpr char kCurlLibrary[] = "libcurl.so.4";

struct CurlLibrary {
    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_perform) easyPerform = nullptr;
};

template <typename Function>
bool Bind(const PLATFORM::CSharedLibrary& library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(library.Symbol(name));
    return function != nullptr;
}

// The library, opened and initialised once; null when it cannot be (said
// once on the standard error, as the download then fails).
const CurlLibrary* Curl()
{
    static const CurlLibrary* const library = []() -> const CurlLibrary* {
        static CurlLibrary bound;
        PLATFORM::CSharedLibrary handle;
        if (!handle.Open(kCurlLibrary) || !Bind(handle, "curl_global_init", bound.globalInit)
            || !Bind(handle, "curl_easy_init", bound.easyInit)
            || !Bind(handle, "curl_easy_cleanup", bound.easyCleanup)
            || !Bind(handle, "curl_easy_setopt", bound.easySetopt)
            || !Bind(handle, "curl_easy_perform", bound.easyPerform)
            || bound.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            const char* why = PLATFORM::CSharedLibrary::Error();
            std::fputs(
                FormatMessage(TEXT::DownloadsUnavailable,
                              {QString::fromLatin1(kCurlLibrary),
                               why ? QString::fromLocal8Bit(why) : GetTextString(TEXT::InitialisationFailed)})
                    .toLocal8Bit()
                    .constData(),
                stderr);
            return nullptr;
        }
        return &bound;
    }();
    return library;
}

QString UserAgent()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("NorvexSetup") : name;
}

// One download: the response being read, the file being written and the display.
class CTransfer {
public:
    CTransfer(const QString& targetPath, const QString& displayName, CDownloadProgress* progress,
              const QString& title)
        : m_target(targetPath), m_displayName(displayName), m_progress(progress), m_title(title)
    {
    }
    CTransfer(const CTransfer&) = delete;
    CTransfer& operator=(const CTransfer&) = delete;

    ~CTransfer()
    {
        if (m_progressStarted)
            m_progress->Stop();
    }

    bool Run(const QString& url);

private:
    enum class Stop { None, Redirect, Failed, UpToDate, Cancelled };

    static size_t HeaderCallback(char* data, size_t size, size_t count, void* self)
    {
        return static_cast<CTransfer*>(self)->OnHeader(QByteArray(data, qsizetype(size * count)))
            ? size * count
            : 0;
    }
    static size_t BodyCallback(char* data, size_t size, size_t count, void* self)
    {
        return static_cast<CTransfer*>(self)->OnBody(data, size * count) ? size * count : 0;
    }
    static int ProgressCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return static_cast<CTransfer*>(self)->PollCancel() ? 1 : 0;
    }

    bool OnHeader(const QByteArray& line);
    bool OnHeadersDone();
    bool OnBody(const char* data, size_t length);
    bool PollCancel();
    bool IsUpToDate() const;
    bool OpenFile();
    bool Finish();
    QString ProgressLine() const
    {
        return FormatMessage(TEXT::DownloadProgress,
                             {m_displayName, QString::number(m_received), QString::number(m_expected)});
    }

    const QString m_target;
    const QString m_displayName;
    CDownloadProgress* const m_progress;
    const QString m_title;

    // The response being read; a redirect starts a new one.
    int m_status = 0;
    QByteArray m_lastModified;
    QByteArray m_contentLength;
    QByteArray m_location;
    bool m_hasLastModified = false;
    bool m_hasContentLength = false;
    Stop m_stop = Stop::None;

    std::optional<qint64> m_serverTime;
    qint64 m_expected = 0;
    qint64 m_received = 0;
    // The body goes to a temporary file beside the target until it is complete.
    std::unique_ptr<PLATFORM::CFileWriter> m_file;
    bool m_progressStarted = false;
};

bool CTransfer::OnHeader(const QByteArray& raw)
{
    const QByteArray line = raw.trimmed();
    if (line.startsWith("HTTP/")) {
        const int space = line.indexOf(' ');
        m_status = space < 0 ? 0 : ReadDecimal(QString::fromLatin1(line.mid(space + 1)));
        m_lastModified.clear();
        m_contentLength.clear();
        m_location.clear();
        m_hasLastModified = m_hasContentLength = false;
        return true;
    }
    if (line.isEmpty()) {
        // Interim answers (100 Continue) come before the real one.
        if (m_status >= 100 && m_status < 200)
            return true;
        return OnHeadersDone();
    }
    const int colon = line.indexOf(':');
    if (colon <= 0)
        return true;
    const QByteArray name = line.left(colon).trimmed().toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    // The first of repeated headers counts.
    if (name == "last-modified" && !m_hasLastModified) {
        m_lastModified = value;
        m_hasLastModified = true;
    } else if (name == "content-length" && !m_hasContentLength) {
        m_contentLength = value;
        m_hasContentLength = true;
    } else if (name == "location" && m_location.isEmpty()) {
        m_location = value;
    }
    return true;
}

bool CTransfer::OnHeadersDone()
{
    static const int redirects[] = {301, 302, 303, 307, 308};
    if (std::find(std::begin(redirects), std::end(redirects), m_status) != std::end(redirects)
        && !m_location.isEmpty()) {
        m_stop = Stop::Redirect;
        return false;
    }
    if (m_status != 200) {
        m_stop = Stop::Failed;
        return false;
    }
    m_serverTime.reset();
    if (m_hasLastModified) {
        if (const std::optional<HttpDate> date = ParseHttpDate(QString::fromLatin1(m_lastModified))) {
            m_serverTime = HttpDateToUnixTime(*date);
            if (!m_serverTime) {
                m_stop = Stop::Failed;
                return false;
            }
        }
    }
    m_expected = m_hasContentLength ? ReadDecimal64(QString::fromLatin1(m_contentLength)) : 0;

    if (IsUpToDate()) {
        m_stop = Stop::UpToDate;
        return false;
    }
    if (!OpenFile()) {
        m_stop = Stop::Failed;
        return false;
    }
    if (m_progress) {
        m_progress->Start(m_title);
        m_progressStarted = true;
        m_progress->SetCancelMessage(GetTextString(TEXT::DownloadCancelling));
        m_progress->SetLine(1, m_title);
        if (m_progress->HasUserCancelled()) {
            m_stop = Stop::Cancelled;
            return false;
        }
        m_progress->SetLine(2, ProgressLine());
    }
    return true;
}

bool CTransfer::OnBody(const char* data, size_t length)
{
    if (m_stop != Stop::None || !m_file)
        return false;
    if (!m_file->Write(data, length)) {
        m_stop = Stop::Failed;
        return false;
    }
    m_received += qint64(length);
    if (m_progress) {
        m_progress->SetProgress(m_received, m_expected);
        if (m_progress->HasUserCancelled()) {
            m_stop = Stop::Cancelled;
            return false;
        }
        m_progress->SetLine(2, ProgressLine());
    }
    return true;
}

// Lets Cancel work while the server sends nothing.
bool CTransfer::PollCancel()
{
    if (!m_progressStarted || m_stop != Stop::None || !m_progress->HasUserCancelled())
        return false;
    m_stop = Stop::Cancelled;
    return true;
}

bool CTransfer::IsUpToDate() const
{
    if (!m_serverTime)
        return false;
    const PLATFORM::CFileHandle file = PLATFORM::OpenForReading(m_target);
    if (!file.IsOpen())
        return false;
    PLATFORM::FileIdentity st;
    return file.Identify(&st) == 0 && st.IsFile() && st.size == m_expected
        && st.modifiedSeconds == *m_serverTime && st.modifiedNanoseconds == 0;
}

bool CTransfer::OpenFile()
{
    PLATFORM::FileWriteOptions options;
    options.plainMode = true;
    if (m_serverTime)
        options.modified = time_t(*m_serverTime);
    m_file = std::make_unique<PLATFORM::CFileWriter>(m_target, options);
    return m_file->Open();
}

bool CTransfer::Finish()
{
    // Compared without sign, as a negative length would be.
    if (quint64(m_received) < quint64(m_expected))
        return false;
    return m_file->Commit();
}

bool CTransfer::Run(const QString& startUrl)
{
    const CurlLibrary* const lib = Curl();
    if (!lib)
        return false;
    CURL* curl = lib->easyInit();
    if (!curl)
        return false;
    const std::unique_ptr<CURL, void (*)(CURL*)> guard(curl, lib->easyCleanup);
    const auto setopt = [lib, curl](CURLoption option, auto value) { lib->easySetopt(curl, option, value); };

    const QByteArray userAgent = UserAgent().toUtf8();
    const QByteArray caFile = qgetenv(kTestCaFileVariable);
    setopt(CURLOPT_NOSIGNAL, 1L);
    setopt(CURLOPT_HTTPGET, 1L);
    setopt(CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    setopt(CURLOPT_LOW_SPEED_LIMIT, 1L);
    setopt(CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    setopt(CURLOPT_USERAGENT, userAgent.constData());
    setopt(CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirects are followed here, one request at a time, to keep the scheme rule.
    setopt(CURLOPT_FOLLOWLOCATION, 0L);
    setopt(CURLOPT_SSL_VERIFYPEER, 1L);
    setopt(CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty())
        setopt(CURLOPT_CAINFO, caFile.constData());
    // A proxy's own answer to CONNECT is not the server's.
    setopt(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    setopt(CURLOPT_BUFFERSIZE, kReadSize);
    setopt(CURLOPT_HEADERFUNCTION, &CTransfer::HeaderCallback);
    setopt(CURLOPT_HEADERDATA, this);
    setopt(CURLOPT_WRITEFUNCTION, &CTransfer::BodyCallback);
    setopt(CURLOPT_WRITEDATA, this);
    setopt(CURLOPT_XFERINFOFUNCTION, &CTransfer::ProgressCallback);
    setopt(CURLOPT_XFERINFODATA, this);
    setopt(CURLOPT_NOPROGRESS, 0L);

    QUrl url(startUrl, QUrl::StrictMode);
    for (int hop = 0;; ++hop) {
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
            return false;
        const QByteArray encoded = url.toEncoded(QUrl::RemoveFragment);
        setopt(CURLOPT_URL, encoded.constData());
        m_status = 0;
        m_stop = Stop::None;
        const CURLcode rc = lib->easyPerform(curl);

        switch (m_stop) {
        case Stop::UpToDate:
            return true;
        case Stop::Failed:
        case Stop::Cancelled:
            return false;
        case Stop::Redirect: {
            if (hop >= kMaxRedirects)
                return false;
            const QUrl next = url.resolved(QUrl::fromEncoded(m_location));
            // Never from a secure connection down to a plain one.
            if (scheme == u"https" && next.scheme().toLower() != u"https")
                return false;
            url = next;
            continue;
        }
        case Stop::None:
            if (rc != CURLE_OK || !m_file)
                return false;
            return Finish();
        }
        return false;
    }
}

}  // namespace

std::optional<HttpDate> ParseHttpDate(const QString& value)
{
    const qsizetype comma = value.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    HttpDate date;
    QStringView text = TrimLeft(QStringView(value).mid(comma + 1));
    date.day = ReadDecimal(text.left(2));

    static const QString months = QStringLiteral("jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec");
    const qsizetype found = months.indexOf(text.mid(3, 3).toString().toLower());
    date.month = found < 0 ? 1 : int(found / 4) + 1;

    text = TrimLeft(text.mid(6));
    qsizetype blank = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u' ' || text[i] == u'\t') {
            blank = i;
            break;
        }
    }
    if (blank < 0) {
        date.year = 2000;
    } else {
        date.year = ReadDecimal(text.left(blank));
        text = TrimLeft(text.mid(blank + 1));
    }
    date.hour = ReadDecimal(text.left(2));
    date.minute = ReadDecimal(text.mid(3, 2));
    date.second = ReadDecimal(text.mid(6, 2));
    return date;
}

std::optional<qint64> HttpDateToUnixTime(const HttpDate& d)
{
    if (d.year < 1900 || d.year > 3000 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour < 0
        || d.hour > 23 || d.minute < 0 || d.minute > 59 || d.second < 0 || d.second > 59)
        return std::nullopt;
    const qint64 days = DaysFromCivil(d.year, unsigned(d.month), 1) + (d.day - 1);
    return days * 86400 + d.hour * 3600 + d.minute * 60 + d.second;
}

bool HttpDownloadFile(const QString& url, const QString& targetPath, const QString& displayName,
                      CDownloadProgress* progress, const QString& title)
{
    CTransfer transfer(targetPath, displayName, progress, title);
    return transfer.Run(url);
}
