#include "common/DecimalText.h"

#include <limits>

int32_t ReadDecimal(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int64_t value = 0;
    constexpr int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > limit)
            value = limit;
    }
    if (negative)
        return int32_t(-value);
    return value >= limit ? std::numeric_limits<int32_t>::max() : int32_t(value);
}
