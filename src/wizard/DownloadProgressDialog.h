// The download display of the windowed runs: a QProgressDialog modal to the
// wizard, a new one for every download, with the title, the two lines in
// its label and a Cancel button that leaves the cancel message showing.
#pragma once

#include "update/DownloadProgress.h"
#include "wizard/ArrowCursor.h"

#include <QPointer>
#include <QProgressDialog>
#include <QWidget>

#include <memory>
#include <optional>

class CDownloadProgressDialog : public CDownloadProgress {
public:
    // parent: the window the display is modal to (the wizard).
    explicit CDownloadProgressDialog(QWidget* parent);
    ~CDownloadProgressDialog() override;
    CDownloadProgressDialog(const CDownloadProgressDialog&) = delete;
    CDownloadProgressDialog& operator=(const CDownloadProgressDialog&) = delete;

    void Start(const QString& title) override;
    void SetCancelMessage(const QString& text) override;
    void SetLine(int line, const QString& text) override;
    void SetProgress(qint64 done, qint64 total) override;
    bool HasUserCancelled() override;
    void Stop() override;

    // The dialog of the running download; null before Start and after Stop.
    QProgressDialog* Dialog() const { return m_dialog.get(); }

    // The bar's range and value for done of total. QProgressDialog counts in
    // int, so sizes over 2 GiB are scaled down, both by the same factor. An
    // unknown total (0) gives the busy bar, range 0 to 0.
    struct BarSteps {
        int maximum;
        int value;
    };
    static BarSteps ScaleToBar(qint64 done, qint64 total);

private:
    void OnCancel();
    void ShowLines();
    void Close();

    QPointer<QWidget> m_parent;
    std::unique_ptr<QProgressDialog> m_dialog;
    QString m_lines[2];
    QString m_cancelMessage;
    bool m_cancelled = false;
    // The normal pointer while the display shows, over the wizard's wait
    // cursor, so Cancel looks like something that can be pressed.
    std::optional<CArrowCursor> m_arrow;
};
