// The steps of a windowed run: the wizard on the engine that start-up
// prepared, modal until it closes itself.
#pragma once

class CNorvexSetupApp;

// Sets app's prepare and run steps to the wizard's. Its window is built while
// start-up still checks the package, and opens once start-up has read the
// manifest. The run step's exit code is 0 when the wizard closed with the OK
// result, 1 with the cancel result. Needs a QApplication.
void UseWizard(CNorvexSetupApp& app);

// Whether a windowed run has a display to open on: a platform chosen through
// QT_QPA_PLATFORM, an X11 display or a Wayland display.
bool HasDisplay();
