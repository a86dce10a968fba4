// Fills the message table's printf-style texts ("%s", "%d") with values, and
// builds the title line of a run mode.
#pragma once

#include "app/MessageTable.h"
#include "engine/RunMode.h"

#include <QString>
#include <QStringList>

// Replaces each "%s" or "%d" of format, in order, with the next argument
// ("%%" gives "%"); missing arguments give empty text, surplus ones are
// dropped. Nothing else in the format is interpreted.
QString FormatText(const QString& format, const QStringList& args = {});

// FormatText of the message table's text id (a number or a TEXT::Id) in the
// system language.
QString FormatMessage(int id, const QStringList& args = {});

// The mode's title (texts 1301, 1401, 1501, 1601 with the product title).
// The window doubles every "&" so that it is not taken as a mnemonic; plain
// text output keeps the title as it is.
QString ModeTitle(RunMode mode, const QString& productTitle, bool doubleAmpersands);
