// Pointing down is allowed.
#pragma once
#include "platform/Registry.h"
