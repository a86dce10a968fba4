// The one decimal reader: atoi's and strtoll's rules, saturating where they
// would be undefined.
#include "common/DecimalText.h"

#include <QString>

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(ReadDecimal, ReadsLikeAtoiAndSaturates)
{
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"42", 42},
        {" \t\n\v\f\r42", 42},
        {"+7", 7},
        {"-7", -7},
        {"- 7", 0},
        {"12abc", 12},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", -2147483647 - 1},
        {"99999999999999999999", 2147483647},
        {"1.9", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadDecimal(QString::fromLatin1(c.text)), c.value) << '"' << c.text << '"';
}

TEST(ReadDecimal, ReadsLikeStrtollAndSaturates)
{
    constexpr int64_t max = std::numeric_limits<int64_t>::max();
    constexpr int64_t min = std::numeric_limits<int64_t>::min();
    const struct {
        const char* text;
        int64_t value;
    } cases[] = {
        {"", 0},
        {" -12x", -12},
        {"2147483648", 2147483648LL},
        {"-2147483649", -2147483649LL},
        {"9223372036854775807", max},
        {"9223372036854775808", max},
        {"-9223372036854775808", min},
        {"-9223372036854775809", min},
        {"99999999999999999999999", max},
        {"-99999999999999999999999", min},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadDecimal64(QString::fromLatin1(c.text)), c.value) << '"' << c.text << '"';
}

TEST(ReadDecimal, PartsKeepTheSignAndSaturateTheValue)
{
    constexpr uint64_t max = std::numeric_limits<uint64_t>::max();
    const struct {
        const char* text;
        bool negative;
        uint64_t magnitude;
    } cases[] = {
        {"", false, 0},
        {"-", true, 0},
        {"\t+4294967296", false, 4294967296ULL},
        {"-1", true, 1},
        {"18446744073709551615", false, max},
        {"18446744073709551616", false, max},
        {"-99999999999999999999999", true, max},
    };
    for (const auto& c : cases) {
        const DecimalParts parts = ReadDecimalParts(QString::fromLatin1(c.text));
        EXPECT_EQ(parts.negative, c.negative) << '"' << c.text << '"';
        EXPECT_EQ(parts.magnitude, c.magnitude) << '"' << c.text << '"';
    }
}

}  // namespace
