// A deliberate fault for the layer check's own test: common reaching up.
#pragma once
#include "engine/InstallEngine.h"
