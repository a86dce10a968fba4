#include "common/SystemLanguage.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <iterator>

namespace {

constexpr quint16 kDefaultId = 0x0409;  // what a machine without a locale reports

struct LanguageCode {
    const char* code;  // ISO 639 code as used in locale names
    quint16 primary;   // Windows primary language id
};

// Sorted by code for binary search.
constexpr LanguageCode kLanguages[] = {
    {"af", 0x36},  {"am", 0x5E}, {"ar", 0x01}, {"as", 0x4D},  {"az", 0x2C},  {"be", 0x23},  {"bg", 0x02},
    {"bn", 0x45},  {"bo", 0x51}, {"br", 0x7E}, {"bs", 0x1A},  {"ca", 0x03},  {"ckb", 0x92}, {"co", 0x83},
    {"cs", 0x05},  {"cy", 0x52}, {"da", 0x06}, {"de", 0x07},  {"dv", 0x65},  {"el", 0x08},  {"en", 0x09},
    {"es", 0x0A},  {"et", 0x25}, {"eu", 0x2D}, {"fa", 0x29},  {"fi", 0x0B},  {"fil", 0x64}, {"fo", 0x38},
    {"fr", 0x0C},  {"fy", 0x62}, {"ga", 0x3C}, {"gd", 0x91},  {"gl", 0x56},  {"gu", 0x47},  {"ha", 0x68},
    {"he", 0x0D},  {"hi", 0x39}, {"hr", 0x1A}, {"hsb", 0x2E}, {"hu", 0x0E},  {"hy", 0x2B},  {"id", 0x21},
    {"ig", 0x70},  {"is", 0x0F}, {"it", 0x10}, {"iu", 0x5D},  {"ja", 0x11},  {"ka", 0x37},  {"kk", 0x3F},
    {"kl", 0x6F},  {"km", 0x53}, {"kn", 0x4B}, {"ko", 0x12},  {"kok", 0x57}, {"ky", 0x40},  {"lb", 0x6E},
    {"lo", 0x54},  {"lt", 0x27}, {"lv", 0x26}, {"mk", 0x2F},  {"ml", 0x4C},  {"mn", 0x50},  {"mr", 0x4E},
    {"ms", 0x3E},  {"mt", 0x3A}, {"nb", 0x14}, {"ne", 0x61},  {"nl", 0x13},  {"nn", 0x14},  {"no", 0x14},
    {"oc", 0x82},  {"or", 0x48}, {"pa", 0x46}, {"pl", 0x15},  {"ps", 0x63},  {"pt", 0x16},  {"qu", 0x6B},
    {"rm", 0x17},  {"ro", 0x18}, {"ru", 0x19}, {"rw", 0x87},  {"sa", 0x4F},  {"sd", 0x59},  {"se", 0x3B},
    {"si", 0x5B},  {"sk", 0x1B}, {"sl", 0x24}, {"sq", 0x1C},  {"sr", 0x1A},  {"sv", 0x1D},  {"sw", 0x41},
    {"syr", 0x5A}, {"ta", 0x49}, {"te", 0x4A}, {"tg", 0x28},  {"th", 0x1E},  {"tk", 0x42},  {"tl", 0x64},
    {"tn", 0x32},  {"tr", 0x1F}, {"tt", 0x44}, {"ug", 0x80},  {"uk", 0x22},  {"ur", 0x20},  {"uz", 0x43},
    {"vi", 0x2A},  {"wo", 0x88}, {"xh", 0x34}, {"yo", 0x6A},  {"zu", 0x35},
};

int PrimaryFor(const QString& code)
{
    const QByteArray key = code.toLatin1();
    const auto it =
        std::lower_bound(std::begin(kLanguages), std::end(kLanguages), key,
                         [](const LanguageCode& l, const QByteArray& k) { return qstrcmp(l.code, k) < 0; });
    if (it == std::end(kLanguages) || key != it->code)
        return -1;
    return it->primary;
}

quint16 ChineseId(const QString& script, const QString& territory)
{
    if (territory == QLatin1String("TW"))
        return 0x0404;
    if (territory == QLatin1String("HK"))
        return 0x0C04;
    if (territory == QLatin1String("SG"))
        return 0x1004;
    if (territory == QLatin1String("MO"))
        return 0x1404;
    if (territory.isEmpty() && script == QLatin1String("Hant"))
        return 0x0404;
    return 0x0804;
}

}  // namespace

quint16 LanguageIdForLocale(const QString& locale)
{
    // language[_territory][.codeset][@modifier]; BCP 47 style '-' is accepted too.
    QString name = locale.trimmed();
    const qsizetype cut = name.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (cut >= 0)
        name.truncate(cut);
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX"))
        return kDefaultId;

    const QStringList parts = name.split(QRegularExpression(QStringLiteral("[_-]")));
    const QString language = parts.value(0).toLower();
    QString script, territory;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString& p = parts[i];
        if (p.size() == 4 && script.isEmpty() && territory.isEmpty())
            script = p.left(1).toUpper() + p.mid(1).toLower();
        else if (territory.isEmpty())
            territory = p.toUpper();
    }

    if (language == QLatin1String("zh"))
        return ChineseId(script, territory);
    if (language == QLatin1String("en") && territory == QLatin1String("US"))
        return 0x0409;
    const int primary = PrimaryFor(language);
    return primary < 0 ? kDefaultId : quint16(primary);
}

QString MessagesLocale()
{
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(var);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

quint16 SystemLanguageId()
{
    return LanguageIdForLocale(MessagesLocale());
}
