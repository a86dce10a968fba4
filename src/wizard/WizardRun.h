// The steps of a windowed run: the wizard on the engine that start-up
// prepared, modal until it closes itself.
#pragma once

#include <QStringList>

#include <functional>

class CCommandLine;
class CNorvexSetupApp;

// Sets app's prepare and run steps to the wizard's. Its window is built while
// start-up still checks the package, and opens once start-up has read the
// manifest. The run step's exit code is 0 when the wizard closed with the OK
// result, 1 with the cancel result. Needs a QApplication.
void UseWizard(CNorvexSetupApp& app);

// Whether a windowed run has a display to open on: a platform chosen through
// QT_QPA_PLATFORM, an X11 display or a Wayland display.
bool HasDisplay();

// The installer's windowed start in this process: the toolkit, the wizard's
// fonts (while the package digest may still be worked out), start-up with its
// errors in boxes of their own, then the wizard. arguments are the process's,
// argument 0 first, and commandLine what was read from them. adjust, when set,
// runs once the toolkit and the application object exist, before start-up.
// Returns the exit code.
int RunWindowed(int& argc, char** argv, const QStringList& arguments, const CCommandLine& commandLine,
                const std::function<void(CNorvexSetupApp&)>& adjust = {});
