// The modal progress display of a download: a title, two text lines, a bar
// and a Cancel button. The wizard shows one modal to its window; a download
// given none copies the body without showing anything and cannot be cancelled.
#pragma once

#include <QString>
#include <QtGlobal>

class CDownloadProgress {
public:
    virtual ~CDownloadProgress() = default;

    // Shows the display, modal to the window it belongs to, with its title.
    virtual void Start(const QString& title) = 0;
    // The text shown in place of the lines once the user has pressed Cancel.
    virtual void SetCancelMessage(const QString& text) = 0;
    // line is 1 or 2.
    virtual void SetLine(int line, const QString& text) = 0;
    // Bytes received of the expected size; total 0 means unknown.
    virtual void SetProgress(qint64 done, qint64 total) = 0;
    // Whether Cancel has been pressed. Called often during the transfer, so
    // a window processes its pending events here.
    virtual bool HasUserCancelled() = 0;
    // Closes the display.
    virtual void Stop() = 0;
};
