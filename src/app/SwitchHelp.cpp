#include "app/SwitchHelp.h"

#include "common/MessageTable.h"
#include "common/TextFormat.h"

QString SwitchListText(const QString& programName)
{
    return FormatMessage(TEXT::SwitchList, {programName});
}

QString UnknownSwitchText(const QString& programName, const QString& switchText)
{
    return FormatMessage(TEXT::UnknownSwitch, {programName, switchText});
}

QString SwitchWithoutValueText(const QString& programName, const QString& switchText)
{
    return FormatMessage(TEXT::SwitchWithoutValue, {programName, switchText});
}
