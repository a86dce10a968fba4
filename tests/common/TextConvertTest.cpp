// UTF-8 <-> UTF-16 conversion: Chinese text, surrogate pairs, bad input.
#include "common/TextConvert.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextConvert, ChineseTextRoundTripsUnchanged)
{
    const struct {
        const char* name;
        std::string utf8;
        QString wide;
    } cases[] = {
        {"simplified", "诺维克斯安装程序：正在安装文件…",
         QString::fromUtf16(u"诺维克斯安装程序：正在安装文件…")},
        {"traditional", "正在檢查更新版本", QString::fromUtf16(u"正在檢查更新版本")},
        {"outside the basic plane", "𠀀𪚥 ok", QString::fromUtf16(u"𠀀𪚥 ok")},
        {"empty", "", QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString wide;
        ASSERT_TRUE(Utf8ToWide(c.utf8, wide));
        EXPECT_EQ(wide, c.wide);

        std::string back = "stale";
        ASSERT_TRUE(WideToUtf8(wide, back));
        EXPECT_EQ(back, c.utf8);
    }
}

TEST(TextConvert, EmbeddedZeroDoesNotCutTheText)
{
    const std::string utf8("前\0后", 7);
    QString wide;
    ASSERT_TRUE(Utf8ToWide(utf8, wide));
    ASSERT_EQ(wide.size(), 3);
    std::string back;
    ASSERT_TRUE(WideToUtf8(wide, back));
    EXPECT_EQ(back, utf8);
}

TEST(TextConvert, InvalidSequencesBecomeReplacementCharacters)
{
    QString wide;
    ASSERT_TRUE(Utf8ToWide(std::string("a\xff"
                                       "b\xe4\xb8",
                                       5),
                           wide));
    EXPECT_EQ(wide.at(0), u'a');
    EXPECT_EQ(wide.at(1), QChar(0xFFFD));
    EXPECT_EQ(wide.at(2), u'b');
    EXPECT_EQ(wide.back(), QChar(0xFFFD));

    // Unpaired surrogates have no UTF-8 form; a proper pair is kept.
    const struct {
        const char* name;
        std::u16string wide;
        std::string utf8;
    } cases[] = {
        {"lone high", {u'x', 0xD800, u'y'}, "x\xEF\xBF\xBDy"},
        {"lone low", {u'x', 0xDC00}, "x\xEF\xBF\xBD"},
        {"swapped pair", {0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"high at the end", {u'x', 0xD840}, "x\xEF\xBF\xBD"},
        {"pair", {0xD840, 0xDC00}, "\xF0\xA0\x80\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string utf8;
        ASSERT_TRUE(WideToUtf8(QString::fromUtf16(c.wide.data(), qsizetype(c.wide.size())), utf8));
        EXPECT_EQ(utf8, c.utf8);
    }
}

}  // namespace
