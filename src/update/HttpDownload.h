// HTTP and HTTPS downloads of one URL into one file, with the server's
// modification time, an up-to-date test and an optional progress display.
#pragma once

#include <QString>

#include <optional>

class CDownloadProgress;

// Names a PEM file of certificate authorities that HTTPS downloads trust as
// well. For tests only, which run their own authority; never set it in a
// real run.
inline constexpr char kTestCaFileVariable[] = "NORVEX_TEST_CA_FILE";

// Date and time fields of a Last-Modified value, taken as UTC.
struct HttpDate {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const HttpDate&) const = default;
};

// Reads "Wdy, DD Mon YYYY HH:MM:SS GMT" field by field from fixed positions,
// the numbers the way atoi reads them. An unknown month gives 1; no blank
// after the year gives the year 2000. Empty for a value without a comma,
// which carries no date in this form.
std::optional<HttpDate> ParseHttpDate(const QString& text);

// Seconds since 1970-01-01 UTC; empty when the fields are outside what a
// file time may be (year 1900 to 3000, day 1 to 31, hour to 23, minute and
// second to 59). Days past the end of a month run on into the next.
std::optional<qint64> HttpDateToUnixTime(const HttpDate& date);

// GETs url (http or https; at most 10 redirects, never from https to http;
// peer and host certificates verified) and stores the body of a 200 answer
// at targetPath, with the server's Last-Modified time when it sent one.
// When the target already has the server's size and time, nothing is
// transferred and the result is true. The body goes to a temporary file
// beside the target that replaces it only when complete, so a failure or a
// cancel leaves the target as it was.
//
// With a progress display, line 1 shows title and line 2 the display name
// with the bytes received against the expected size; Cancel fails the
// download. Without one, the body is copied plainly.
//
// True when the whole body was stored (at least Content-Length bytes) or the
// target was up to date. False for an unusable URL, a connection failure,
// any status but 200, a Last-Modified date that is no valid file time, a
// network or file error, and a cancel.
bool HttpDownloadFile(const QString& url, const QString& targetPath, const QString& displayName,
                      CDownloadProgress* progress, const QString& title);
