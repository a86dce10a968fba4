#include "database/Field.h"

#include "common/DecimalText.h"

#include <cmath>
#include <limits>
#include <utility>

namespace DATABASE {

namespace {

int32_t TruncateDouble(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (value >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return int32_t(value);
}

QString FormatDouble(double value)
{
    QString text = QString::asprintf("%f", value);
    // Only a fixed-point number has zeros to drop; "inf" and "nan" stay.
    if (!text.contains(u'.'))
        return text;
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

// A field of the given kind with its one member set.
template <typename T>
CTYField Make(int kind, T CTYField::*member, T value)
{
    CTYField f;
    f.kind = kind;
    f.*member = std::move(value);
    return f;
}

}  // namespace

CTYField CTYField::FromText(const QString& value)
{
    return Make(Text, &CTYField::text, value);
}

CTYField CTYField::FromInt(int32_t value)
{
    return Make(Int, &CTYField::intValue, value);
}

CTYField CTYField::FromDouble(double value)
{
    return Make(Double, &CTYField::doubleValue, value);
}

CTYField CTYField::FromUInt(uint32_t value)
{
    return Make(UInt, &CTYField::uintValue, value);
}

CTYField CTYField::FromInt64(int64_t value)
{
    return Make(Int64, &CTYField::int64Value, value);
}

CTYField CTYField::FromUInt64(uint64_t value)
{
    return Make(UInt64, &CTYField::uint64Value, value);
}

int32_t CTYField::AsInt() const
{
    switch (kind) {
    case Text:
        return ReadDecimal(text);
    case Int:
        return intValue;
    case Double:
        return TruncateDouble(doubleValue);
    case UInt:
        return int32_t(uintValue);
    case Int64:
        return int32_t(uint32_t(uint64_t(int64Value)));
    case UInt64:
        return int32_t(uint32_t(uint64Value));
    default:
        return 0;
    }
}

QString CTYField::AsText() const
{
    switch (kind) {
    case Text:
        return text;
    case Int:
        return QString::number(intValue);
    case Double:
        return FormatDouble(doubleValue);
    case UInt:
        return QString::number(uintValue);
    case Int64:
        return QString::number(qint64(int64Value));
    case UInt64:
        return QString::number(quint64(uint64Value));
    default:
        return QString();
    }
}

}  // namespace DATABASE
