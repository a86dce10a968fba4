// The one decimal reader: atoi's rules, saturating where atoi is undefined.
#include "common/DecimalText.h"

#include <QString>

#include <gtest/gtest.h>

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

}  // namespace
