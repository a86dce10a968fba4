#include "support/CaseName.h"

#include "common/SystemLanguage.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ostream>
#include <string>

namespace {

struct LocaleCase {
    const char* locale;
    quint16 langId;
};

void PrintTo(const LocaleCase& c, std::ostream* os)
{
    *os << '"' << c.locale << '"';
}

class LocaleMapping : public testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleMapping, GivesWindowsLanguageId)
{
    EXPECT_EQ(LanguageIdForLocale(QString::fromUtf8(GetParam().locale)), GetParam().langId);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LocaleMapping,
    testing::Values(
        // Chinese keeps its territory: it decides Traditional against Simplified.
        LocaleCase{"zh_TW", 0x0404}, LocaleCase{"zh_TW.UTF-8", 0x0404}, LocaleCase{"zh_TW.Big5", 0x0404},
        LocaleCase{"zh_CN", 0x0804}, LocaleCase{"zh_CN.UTF-8@xyz", 0x0804},
        LocaleCase{"zh_CN.GB18030", 0x0804}, LocaleCase{"zh", 0x0804}, LocaleCase{"zh.UTF-8", 0x0804},
        LocaleCase{"zh_HK.UTF-8", 0x0C04}, LocaleCase{"zh_SG", 0x1004}, LocaleCase{"zh_MO", 0x1404},
        LocaleCase{"zh_US", 0x0804}, LocaleCase{"zh-TW", 0x0404}, LocaleCase{"zh_tw", 0x0404},
        LocaleCase{"ZH_TW", 0x0404}, LocaleCase{"zh_Hant", 0x0404}, LocaleCase{"zh_Hans", 0x0804},
        LocaleCase{"zh_Hant_HK", 0x0C04}, LocaleCase{"zh-Hant-TW", 0x0404}, LocaleCase{"zh_Hans_SG", 0x1004},
        // English (United States) is the full id; other languages give their primary id.
        LocaleCase{"en_US", 0x0409}, LocaleCase{"en_US.UTF-8", 0x0409}, LocaleCase{"en_GB.UTF-8", 0x0009},
        LocaleCase{"en", 0x0009}, LocaleCase{"de", 0x0007}, LocaleCase{"de_DE.UTF-8@euro", 0x0007},
        LocaleCase{"de_AT", 0x0007}, LocaleCase{"fr_FR", 0x000C}, LocaleCase{"ja_JP.eucJP", 0x0011},
        LocaleCase{"ko_KR", 0x0012}, LocaleCase{"ru_RU.KOI8-R", 0x0019}, LocaleCase{"sr_RS@latin", 0x001A},
        LocaleCase{"nb_NO", 0x0014}, LocaleCase{"fil_PH", 0x0064}, LocaleCase{"ckb_IQ", 0x0092},
        // No usable language: English (United States).
        LocaleCase{"C", 0x0409}, LocaleCase{"C.UTF-8", 0x0409}, LocaleCase{"POSIX", 0x0409},
        LocaleCase{"", 0x0409}, LocaleCase{".UTF-8", 0x0409}, LocaleCase{"@euro", 0x0409},
        LocaleCase{"eo", 0x0409}, LocaleCase{"xx_YY", 0x0409}, LocaleCase{"_", 0x0409},
        LocaleCase{"z", 0x0409}, LocaleCase{"zhx_TW", 0x0409}),
    [](const testing::TestParamInfo<LocaleCase>& c) {
        return TESTS::SafeCaseName(std::to_string(c.index) + "_" + c.param.locale);
    });

struct EnvCase {
    const char* name;
    const char* lcAll;  // null: unset
    const char* lcMessages;
    const char* lang;
    quint16 langId;
};

void PrintTo(const EnvCase& c, std::ostream* os)
{
    *os << c.name;
}

class LocaleEnvironment : public testing::TestWithParam<EnvCase> {
protected:
    static void Set(const char* var, const char* value)
    {
        if (value)
            setenv(var, value, 1);
        else
            unsetenv(var);
    }
    void TearDown() override
    {
        for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"})
            unsetenv(var);
    }
};

TEST_P(LocaleEnvironment, FirstNonEmptyVariableWins)
{
    const EnvCase& c = GetParam();
    Set("LC_ALL", c.lcAll);
    Set("LC_MESSAGES", c.lcMessages);
    Set("LANG", c.lang);
    EXPECT_EQ(SystemLanguageId(), c.langId);
}

INSTANTIATE_TEST_SUITE_P(Precedence, LocaleEnvironment,
                         testing::Values(EnvCase{"AllWins", "zh_TW.UTF-8", "de_DE", "zh_CN", 0x0404},
                                         EnvCase{"MessagesOverLang", nullptr, "zh_HK", "zh_CN.UTF-8", 0x0C04},
                                         EnvCase{"EmptyAllSkipped", "", "zh_SG", "de_DE", 0x1004},
                                         EnvCase{"EmptyAllAndMessagesSkipped", "", "", "zh_MO.UTF-8", 0x1404},
                                         EnvCase{"LangOnly", nullptr, nullptr, "de_DE.UTF-8", 0x0007},
                                         EnvCase{"AllIsC", "C", "zh_TW", "zh_TW", 0x0409},
                                         EnvCase{"NothingSet", nullptr, nullptr, nullptr, 0x0409}),
                         TESTS::CaseName());

}  // namespace
