#include "app/ConsoleView.h"

#include <QByteArray>

CConsoleView::CConsoleView(std::FILE* out) : m_out(out) {}

void CConsoleView::WriteLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_out);
    std::fflush(m_out);
}

void CConsoleView::ShowPage(RunMode, WizardPage)
{
    // A new page starts with empty status lines and bars at 0.
    m_stepLine.clear();
    m_overallLine.clear();
    m_overall = 0;
}

void CConsoleView::SetStatusText(StatusLine line, const QString& text)
{
    (line == StatusLine::Step ? m_stepLine : m_overallLine) = text;
}

void CConsoleView::SetStepBar(int)
{
    // Per-file progress would flood the output; steps are enough.
}

void CConsoleView::SetOverallBar(int position)
{
    m_overall = position;
}

void CConsoleView::EnableCancelButtons(bool) {}

void CConsoleView::Repaint()
{
    QString line = QStringLiteral("%1%").arg(m_overall, 3);
    for (const QString* text : {&m_stepLine, &m_overallLine}) {
        const QString trimmed = text->trimmed();
        if (!trimmed.isEmpty())
            line += QStringLiteral(" | ") + trimmed;
    }
    WriteLine(line);
}

void CConsoleView::Close(bool)
{
    m_closed = true;
}
