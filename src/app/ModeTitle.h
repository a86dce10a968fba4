// The title line of a run mode, from the message table.
#pragma once

#include "engine/RunMode.h"

#include <QString>

// The mode's title (texts 1301, 1401, 1501, 1601 with the product title).
// The window doubles every "&" so that it is not taken as a mnemonic; plain
// text output keeps the title as it is.
QString ModeTitle(RunMode mode, const QString& productTitle, bool doubleAmpersands);
