// The one pause of the installer's procedures. Steps wait a moment so that the
// user sees each of them; tests and unattended runs replace the wait.
#pragma once

#include <functional>

// Waits the given time (nothing for 0 or less) through the current pause
// function; by default the calling thread sleeps.
void Pause(int milliseconds);

// Replaces the pause function for the whole process; an empty function
// restores sleeping.
void SetPauseFunction(std::function<void(int)> function);
