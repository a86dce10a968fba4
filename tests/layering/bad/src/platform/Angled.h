// A deliberate fault for the layer check's own test: the angle-bracket form.
#pragma once
#include <QtCore/QString>

#include <app/MessageTable.h>
