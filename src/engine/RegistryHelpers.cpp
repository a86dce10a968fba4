#include "engine/RegistryHelpers.h"

using PLATFORM::CRegistry;
using PLATFORM::RegStatus;

QString RegQueryString(PLATFORM::RegRoot root, const QString& subkey, const QString& name)
{
    QByteArray data;
    if (CRegistry::QueryValue(root, subkey, name, nullptr, &data) != RegStatus::Ok)
        return {};
    // An odd last byte is half a character: dropped.
    const qsizetype chars = data.size() / 2;
    QString text;
    text.reserve(chars);
    for (qsizetype i = 0; i < chars; ++i) {
        const char16_t c = char16_t(uchar(data[2 * i]) | (uchar(data[2 * i + 1]) << 8));
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

bool RegSetString(PLATFORM::RegRoot root, const QString& subkey, const QString& text,
                  const std::optional<QString>& name)
{
    return CRegistry::SetValue(root, subkey, name.value_or(QString()), PLATFORM::RegSz,
                               CRegistry::StringData(text))
        == RegStatus::Ok;
}

bool RegDeleteTree(PLATFORM::RegRoot root, const QString& subkey)
{
    return CRegistry::DeleteKey(root, subkey) == RegStatus::Ok;
}
