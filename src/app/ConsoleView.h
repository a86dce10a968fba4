// The procedures' view for unattended runs: one progress line per step on
// standard output. Messages go through the console message box.
#pragma once

#include "app/ProcedureView.h"

#include <cstdio>

class CConsoleView : public CProcedureView {
public:
    explicit CConsoleView(std::FILE* out);

    // Writes one line (UTF-8, newline added) to standard output.
    void WriteLine(const QString& line);

    void ShowPage(RunMode mode, WizardPage page) override;
    void SetStatusText(StatusLine line, const QString& text) override;
    void SetStepBar(int position) override;
    void SetOverallBar(int position) override;
    void EnableCancelButtons(bool enable) override;
    // "<percent>% | <step line> | <overall line>", empty lines left out.
    void Repaint() override;
    void Close(bool ok) override;

    bool Closed() const { return m_closed; }

private:
    std::FILE* m_out;
    QString m_stepLine;
    QString m_overallLine;
    int m_overall = 0;
    bool m_closed = false;
};
