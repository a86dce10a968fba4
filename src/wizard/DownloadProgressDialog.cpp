#include "wizard/DownloadProgressDialog.h"

#include "common/MessageTable.h"

#include <QAbstractButton>
#include <QCoreApplication>

#include <limits>

CDownloadProgressDialog::CDownloadProgressDialog(QWidget* parent) : m_parent(parent) {}

CDownloadProgressDialog::~CDownloadProgressDialog()
{
    Close();
}

void CDownloadProgressDialog::Start(const QString& title)
{
    Close();
    m_lines[0].clear();
    m_lines[1].clear();
    m_cancelMessage.clear();
    m_cancelled = false;

    m_dialog = std::make_unique<QProgressDialog>(m_parent.data());
    m_dialog->setObjectName(QStringLiteral("downloadProgress"));
    m_dialog->setWindowTitle(title);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setCancelButtonText(GetTextString(1205));
    // The download decides when the display ends, not the bar reaching its end.
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setRange(0, 0);
    m_dialog->setMinimumWidth(420);
    // Cancel (the button, Escape) only raises the flag: the display stays,
    // with the cancel message, until the download has stopped.
    QObject::disconnect(m_dialog.get(), &QProgressDialog::canceled, nullptr, nullptr);
    QObject::connect(m_dialog.get(), &QProgressDialog::canceled, m_dialog.get(), [this] { OnCancel(); });
    ShowLines();
    m_arrow.emplace();
    m_dialog->show();
    QCoreApplication::processEvents();
}

void CDownloadProgressDialog::SetCancelMessage(const QString& text)
{
    m_cancelMessage = text;
    ShowLines();
}

void CDownloadProgressDialog::SetLine(int line, const QString& text)
{
    if (line != 1 && line != 2)
        return;
    m_lines[line - 1] = text;
    ShowLines();
}

CDownloadProgressDialog::BarSteps CDownloadProgressDialog::ScaleToBar(qint64 done, qint64 total)
{
    if (total <= 0)
        return {0, 0};
    done = qBound(qint64(0), done, total);
    int shift = 0;
    while ((total >> shift) > std::numeric_limits<int>::max())
        ++shift;
    return {int(total >> shift), int(done >> shift)};
}

void CDownloadProgressDialog::SetProgress(qint64 done, qint64 total)
{
    if (!m_dialog)
        return;
    const BarSteps steps = ScaleToBar(done, total);
    if (m_dialog->maximum() != steps.maximum)
        m_dialog->setRange(0, steps.maximum);
    if (steps.maximum > 0)
        m_dialog->setValue(steps.value);
}

bool CDownloadProgressDialog::HasUserCancelled()
{
    // The download runs on this thread: the Cancel button and the display's
    // painting get their turn here.
    if (m_dialog)
        QCoreApplication::processEvents();
    return m_cancelled;
}

void CDownloadProgressDialog::Stop()
{
    Close();
}

void CDownloadProgressDialog::Close()
{
    if (m_dialog) {
        m_dialog->hide();
        m_dialog.reset();
    }
    m_arrow.reset();
}

void CDownloadProgressDialog::OnCancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    if (m_dialog)
        if (QAbstractButton* button = m_dialog->findChild<QAbstractButton*>())
            button->setEnabled(false);
    ShowLines();
}

void CDownloadProgressDialog::ShowLines()
{
    if (!m_dialog)
        return;
    if (m_cancelled && !m_cancelMessage.isEmpty())
        m_dialog->setLabelText(m_cancelMessage);
    else
        m_dialog->setLabelText(m_lines[0] + u'\n' + m_lines[1]);
}
