// Fills the message table's printf-style texts ("%s", "%d") with values.
#pragma once

#include "common/MessageTable.h"

#include <QString>
#include <QStringList>

// Replaces each "%s" or "%d" of format, in order, with the next argument
// ("%%" gives "%"); missing arguments give empty text, surplus ones are
// dropped. Nothing else in the format is interpreted.
QString FormatText(const QString& format, const QStringList& args = {});

// FormatText of the message table's text id (a number or a TEXT::Id) in the
// system language.
QString FormatMessage(int id, const QStringList& args = {});
