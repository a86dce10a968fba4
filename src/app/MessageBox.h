// How the installer shows a message box. Start-up, the procedures and the
// wizard talk to this interface only: the wizard shows widgets, runs without
// a window write to the console, and tests record what would be shown.
#pragma once

#include <QString>

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };

// The button that closed the box (numbered as the Windows IDOK ... IDNO).
enum class MessageAnswer { Ok = 1, Cancel = 2, Retry = 4, Yes = 6, No = 7 };

class CMessageBox {
public:
    virtual ~CMessageBox() = default;

    // Shows text under caption (empty caption: the application's name) and
    // returns the answer. Blocks until answered.
    virtual MessageAnswer Show(const QString& text, const QString& caption, MessageIcon icon,
                               MessageButtons buttons) = 0;
};
