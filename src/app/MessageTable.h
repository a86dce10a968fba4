// The message table now lives in common, below every module that shows a
// text; this include remains for the files not yet pointed there.
#pragma once

#include "common/MessageTable.h"
