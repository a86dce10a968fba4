// Message pumping between chunks of long work on the one UI thread, and the
// process-wide cancel flag that the wizard's cancel confirmation sets.
#pragma once

#include <functional>

// Processes pending Qt events when a QCoreApplication exists (nothing otherwise);
// nonzero when the user has asked to cancel.
int PumpMessages();

void SetCancelFlag(bool cancel);
bool GetCancelFlag();

// SIGINT, SIGTERM and SIGHUP set the cancel flag, so the run stops at the next
// chunk and cleans up; SIGXFSZ is ignored, so an exceeded file-size limit is a
// write error. Called once at the start of the program.
void InstallCancelSignalHandlers();

// Called at the start of every PumpMessages call; empty to remove. Lets tests
// count pump points and cancel at a chosen one.
void SetPumpMessagesHook(std::function<void()> hook);
