// The job a run does, chosen by the command line, the executable's name and what
// is already installed.
#pragma once

#include <cstdint>

enum class RunMode : int32_t {
    Install = 0,
    Upgrade = 1,
    Repair = 2,
    Uninstall = 3,    // first removal stage: offers repair or removal
    DoUninstall = 4,  // second removal stage, run from a temporary copy
};
