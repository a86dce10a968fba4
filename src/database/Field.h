// One typed value of an in-memory query result.
#pragma once

#include <QString>

#include <cstdint>

namespace DATABASE {

class CTYField {
public:
    // Kinds; loading a query result produces only Text, Int and Double.
    enum Kind : int {
        NotSet = -1,
        Text = 0,
        Int = 1,
        Double = 2,
        UInt = 3,
        Int64 = 4,
        UInt64 = 5,
    };

    CTYField() = default;
    CTYField(const CTYField&) = default;
    CTYField& operator=(const CTYField&) = default;
    virtual ~CTYField() = default;

    static CTYField FromText(const QString& value);
    static CTYField FromInt(int32_t value);
    static CTYField FromDouble(double value);
    static CTYField FromUInt(uint32_t value);
    static CTYField FromInt64(int64_t value);
    static CTYField FromUInt64(uint64_t value);

    // The value as a 32-bit integer: text is read like atoi (saturating
    // instead of overflowing), a double is truncated toward zero (clamped),
    // 64-bit values give their low 32 bits; 0 when no value is set.
    int32_t AsInt() const;
    // The value as text: "%d", "%u", decimal for 64-bit, and "%f" without
    // trailing zeros and point for a double (1.500000 gives 1.5); empty when
    // no value is set.
    QString AsText() const;

    int kind = NotSet;
    QString text;
    int32_t intValue = 0;
    double doubleValue = 0.0;
    uint32_t uintValue = 0;
    int64_t int64Value = 0;
    uint64_t uint64Value = 0;
};

}  // namespace DATABASE
