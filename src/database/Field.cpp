#include "database/Field.h"

#include "common/DecimalText.h"

#include <cmath>
#include <limits>

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

}  // namespace

CTYField CTYField::FromText(const QString& value)
{
    CTYField f;
    f.kind = Text;
    f.text = value;
    return f;
}

CTYField CTYField::FromInt(int32_t value)
{
    CTYField f;
    f.kind = Int;
    f.intValue = value;
    return f;
}

CTYField CTYField::FromDouble(double value)
{
    CTYField f;
    f.kind = Double;
    f.doubleValue = value;
    return f;
}

CTYField CTYField::FromUInt(uint32_t value)
{
    CTYField f;
    f.kind = UInt;
    f.uintValue = value;
    return f;
}

CTYField CTYField::FromInt64(int64_t value)
{
    CTYField f;
    f.kind = Int64;
    f.int64Value = value;
    return f;
}

CTYField CTYField::FromUInt64(uint64_t value)
{
    CTYField f;
    f.kind = UInt64;
    f.uint64Value = value;
    return f;
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
