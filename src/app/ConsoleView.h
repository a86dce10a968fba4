// The procedures' view for unattended runs: one progress line per step on
// standard output, every message and question on standard error, questions
// answered as the window's defaults would be (No).
#pragma once

#include "app/ProcedureView.h"

#include <cstdio>

class CConsoleView : public CProcedureView {
public:
    CConsoleView(std::FILE* out, std::FILE* err);

    // Writes one line (UTF-8, newline added) to standard output.
    void WriteLine(const QString& line);

    void ShowPage(RunMode mode, int page) override;
    void SetStatusText(StatusLine line, const QString& text) override;
    void SetStepBar(int position) override;
    void SetOverallBar(int position) override;
    void EnableCancelButtons(bool enable) override;
    // "<percent>% | <step line> | <overall line>", empty lines left out.
    void Repaint() override;
    void ShowMessage(const QString& text, MessageIcon icon) override;
    // Reports the question and answers No: an unattended run changes nothing
    // it was not told to.
    bool AskYesNo(const QString& text) override;
    void Close(bool ok) override;

    bool Closed() const { return m_closed; }

private:
    void Write(std::FILE* stream, const QString& text);

    std::FILE* m_out;
    std::FILE* m_err;
    QString m_stepLine;
    QString m_overallLine;
    int m_overall = 0;
    bool m_closed = false;
};
