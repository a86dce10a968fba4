// Reading a decimal number out of text the way the C library's atoi does.
#pragma once

#include <QStringView>

#include <cstdint>

// Leading white space, an optional sign, then decimal digits; anything after
// them is ignored and text without digits reads as 0. Saturates at the int32
// range where atoi's result would be undefined.
int32_t ReadDecimal(QStringView text);
