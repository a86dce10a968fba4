// The run step of a windowed run: the wizard on the engine that start-up
// prepared, modal until it closes itself.
#pragma once

class CNorvexSetupApp;

// Exit code 0 when the wizard closed with the OK result, 1 with the cancel
// result. Needs a QApplication.
int RunWizard(CNorvexSetupApp& app);

// Whether a windowed run has a display to open on: a platform chosen through
// QT_QPA_PLATFORM, an X11 display or a Wayland display.
bool HasDisplay();
