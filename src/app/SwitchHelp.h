// What the installer says about its own command line: the switch list that
// -help shows and the errors of an unattended run started with a bad switch,
// in the machine's language.
#pragma once

#include <QString>

// The switch list, ending with a line break; programName is the name the
// installer was started under (LabelPrintSetup, uninstall.exe).
QString SwitchListText(const QString& programName);
// "PROGRAM: unknown switch -x (see -help)", without a line break.
QString UnknownSwitchText(const QString& programName, const QString& switchText);
// "PROGRAM: switch -log needs a file name", without a line break.
QString SwitchWithoutValueText(const QString& programName, const QString& switchText);
