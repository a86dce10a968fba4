// Message pumping between chunks of long work on the one UI thread, and the
// process-wide cancel flag that the wizard's cancel confirmation sets.
#pragma once

#include <functional>

// Processes pending Qt events when a QCoreApplication exists (nothing otherwise);
// nonzero when the user has asked to cancel or a cancel signal came.
int PumpMessages();

// Sets or clears the user's cancel. A cancel that a signal set stays.
void SetCancelFlag(bool cancel);
// True after the user's cancel or a cancel signal.
bool GetCancelFlag();
// True once a cancel signal came: a window waiting for the user closes then.
bool CancelSignalCame();

// SIGINT, SIGTERM and SIGHUP set the cancel flag for good (also when they came
// before the run began), so the run stops at the next chunk and cleans up;
// they are unblocked too. SIGXFSZ is ignored, so an exceeded file-size limit
// is a write error. Called once at the start of the program.
void InstallCancelSignalHandlers();

// Called at the start of every PumpMessages call; empty to remove. Lets tests
// count pump points and cancel at a chosen one.
void SetPumpMessagesHook(std::function<void()> hook);
