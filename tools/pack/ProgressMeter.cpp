#include "pack/ProgressMeter.h"

#include <algorithm>

#include <unistd.h>

namespace {

constexpr qint64 kRedrawIntervalMs = 100;

int Percent(qint64 done, qint64 total)
{
    if (total <= 0)
        return 100;
    return int(std::clamp<qint64>(done * 100 / total, 0, 100));
}

}  // namespace

CProgressMeter::CProgressMeter(std::FILE* stream, Style style, QString label)
    : m_stream(stream), m_style(style), m_label(std::move(label))
{
    m_clock.start();
}

CProgressMeter::Style CProgressMeter::StyleFor(std::FILE* stream, bool quiet)
{
    if (quiet)
        return Style::Quiet;
    return ::isatty(::fileno(stream)) ? Style::Terminal : Style::Lines;
}

void CProgressMeter::Update(qint64 done, qint64 total)
{
    switch (m_style) {
    case Style::Quiet:
        return;
    case Style::Terminal: {
        const qint64 now = m_clock.elapsed();
        if (m_drawn && now - m_lastDraw < kRedrawIntervalMs && done < total)
            return;
        m_lastDraw = now;
        m_drawn = true;
        // \r back to the start, ESC [K clears what a longer line left.
        Write(QStringLiteral("\r%1: %2\x1b[K").arg(m_label, StatusText(done, total, ElapsedSeconds())));
        return;
    }
    case Style::Lines: {
        const int tenth = Percent(done, total) / 10;
        if (total < kLinesThreshold || tenth <= m_lastTenth || tenth == 0)
            return;
        m_lastTenth = tenth;
        Write(QStringLiteral("%1: %2\n").arg(m_label, StatusText(done, total, ElapsedSeconds())));
        return;
    }
    }
}

void CProgressMeter::Finish(const QString& summary)
{
    if (m_style == Style::Quiet)
        return;
    if (m_style == Style::Terminal && m_drawn)
        Write(QStringLiteral("\r\x1b[K"));
    if (!summary.isEmpty())
        Write(QStringLiteral("%1: %2\n").arg(m_label, summary));
}

double CProgressMeter::ElapsedSeconds() const
{
    return double(m_clock.nsecsElapsed()) / 1e9;
}

QString CProgressMeter::SizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

QString CProgressMeter::StatusText(qint64 done, qint64 total, double seconds)
{
    QString text =
        QStringLiteral("%1% %2 of %3").arg(Percent(done, total)).arg(SizeText(done), SizeText(total));
    // Too early a rate says nothing.
    if (seconds >= 0.05 && done > 0) {
        const double rate = double(done) / seconds;
        text += QStringLiteral(", %1/s").arg(SizeText(qint64(rate)));
        if (done < total)
            text += QStringLiteral(", %1 s left").arg(qint64(double(total - done) / rate + 0.5));
    }
    return text;
}

void CProgressMeter::Write(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_stream);
    std::fflush(m_stream);
}
