#include "common/DecimalText.h"

#include <limits>

DecimalParts ReadDecimalParts(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    DecimalParts parts;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        parts.negative = text[i++] == u'-';
    constexpr uint64_t max = std::numeric_limits<uint64_t>::max();
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const unsigned digit = text[i].unicode() - u'0';
        parts.magnitude = parts.magnitude > (max - digit) / 10 ? max : parts.magnitude * 10 + digit;
    }
    return parts;
}

namespace {

// The parts as a signed number of type T, saturating at its range.
template <typename T>
T Saturated(const DecimalParts& parts)
{
    constexpr uint64_t maxPositive = uint64_t(std::numeric_limits<T>::max());
    if (parts.negative)
        return parts.magnitude > maxPositive ? std::numeric_limits<T>::min() : T(-T(parts.magnitude));
    return parts.magnitude > maxPositive ? std::numeric_limits<T>::max() : T(parts.magnitude);
}

}  // namespace

int32_t ReadDecimal(QStringView text)
{
    return Saturated<int32_t>(ReadDecimalParts(text));
}

int64_t ReadDecimal64(QStringView text)
{
    return Saturated<int64_t>(ReadDecimalParts(text));
}
