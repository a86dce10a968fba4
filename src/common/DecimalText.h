// Reading a decimal number out of text the way the C library's atoi and
// strtoll do.
#pragma once

#include <QStringView>

#include <cstdint>

// Leading white space, an optional sign, then decimal digits; anything after
// them is ignored and text without digits reads as 0. Saturates at the int32
// range where atoi's result would be undefined.
int32_t ReadDecimal(QStringView text);

// The same rules with strtoll's 64-bit range.
int64_t ReadDecimal64(QStringView text);

// The sign and the value of the digits, for callers with a range rule of
// their own (strtoul negates modulo 2^N). The value saturates at UINT64_MAX.
struct DecimalParts {
    bool negative = false;
    uint64_t magnitude = 0;
};
DecimalParts ReadDecimalParts(QStringView text);
