// Message boxes for runs without a window: the text goes to standard error and
// questions take their safe answer (the one that changes nothing more).
#pragma once

#include "app/MessageBox.h"

class CConsoleMessageBox : public CMessageBox {
public:
    // Writes "caption: text" (or the text alone) to standard error, ending
    // with a line break; a reason after the message is on the next line.
    MessageAnswer Show(const QString& text, const QString& caption, MessageIcon icon,
                       MessageButtons buttons) override;

    // Ok for a plain box, otherwise the answer that goes no further: Cancel or No.
    static MessageAnswer DefaultAnswer(MessageButtons buttons);
};
