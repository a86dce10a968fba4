// Progress of a long norvex-pack command, shaped for where it goes: one line
// redrawn in place on a terminal (percentage, bytes done of total, rate, time
// left), at most one line per tenth in a log or pipe, nothing when quiet.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

class CProgressMeter {
public:
    enum class Style { Terminal, Lines, Quiet };

    // Work smaller than this is over before a log reader would care.
    static constexpr qint64 kLinesThreshold = 8 * 1024 * 1024;

    // label starts every line ("norvex-pack build").
    CProgressMeter(std::FILE* stream, Style style, QString label);

    // Terminal when the stream is a terminal, else Lines; Quiet when quiet.
    static Style StyleFor(std::FILE* stream, bool quiet);

    // Work done so far, in bytes of total. Calls may come as often as wanted:
    // the terminal line is redrawn at most ten times a second and the log
    // gets a line only when a new tenth is reached (none for work smaller
    // than kLinesThreshold).
    void Update(qint64 done, qint64 total);
    // Ends the progress line (the terminal's one is cleared) and writes the
    // summary line, unless quiet or the summary is empty.
    void Finish(const QString& summary);

    // Seconds since the meter was made.
    double ElapsedSeconds() const;

    // "512 B", "12.3 KiB", "4.0 MiB", "1.2 GiB".
    static QString SizeText(qint64 bytes);
    // "42% 12.3 MiB of 29.0 MiB, 5.1 MiB/s, 3 s left"; the rate and time
    // are left out until there is something to measure.
    static QString StatusText(qint64 done, qint64 total, double seconds);

private:
    void Write(const QString& text);

    std::FILE* m_stream;
    Style m_style;
    QString m_label;
    QElapsedTimer m_clock;
    qint64 m_lastDraw = -1;  // ms of the last terminal redraw
    int m_lastTenth = -1;    // last tenth written as a line
    bool m_drawn = false;
};
