#include "RegText.h"

#include <algorithm>

using PLATFORM::RegValue;

namespace REGTOOL {

namespace {

// Longest line before a hex list continues on the next one.
constexpr int kHexLineLimit = 77;

QString Quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += QStringLiteral("\\n");
        else if (c == '\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out + '"';
}

// A REG_SZ that the quoted form reproduces byte for byte: whole characters,
// one terminating zero, no other zero, no line breaks.
bool IsPlainString(const RegValue& v)
{
    if (v.type != PLATFORM::RegSz || v.data.size() < 2 || v.data.size() % 2 != 0)
        return false;
    const QString text = DataText(v.data);
    return (text.size() + 1) * 2 == v.data.size() && !HasControlCharacters(text);
}

QString HexList(const QString& prefix, const QByteArray& data)
{
    QString out = prefix;
    int column = int(prefix.size());
    for (qsizetype i = 0; i < data.size(); ++i) {
        out += QStringLiteral("%1").arg(uchar(data[i]), 2, 16, QLatin1Char('0'));
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
            if (column >= kHexLineLimit) {
                out += QStringLiteral("\\\n  ");
                column = 2;
            }
        }
    }
    return out;
}

quint32 Dword(const QByteArray& data)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uchar(data[i]);
    return v;
}

}  // namespace

QString TypeName(quint32 type)
{
    switch (type) {
    case 0:
        return QStringLiteral("REG_NONE");
    case 1:
        return QStringLiteral("REG_SZ");
    case 2:
        return QStringLiteral("REG_EXPAND_SZ");
    case 3:
        return QStringLiteral("REG_BINARY");
    case 4:
        return QStringLiteral("REG_DWORD");
    case 5:
        return QStringLiteral("REG_DWORD_BIG_ENDIAN");
    case 6:
        return QStringLiteral("REG_LINK");
    case 7:
        return QStringLiteral("REG_MULTI_SZ");
    case 11:
        return QStringLiteral("REG_QWORD");
    default:
        return QStringLiteral("0x%1").arg(type, 0, 16);
    }
}

QString DataText(const QByteArray& data)
{
    QString text;
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        const char16_t c = char16_t(uchar(data[i]) | (uchar(data[i + 1]) << 8));
        if (c == 0)
            break;
        text += QChar(c);
    }
    return text;
}

QString ExportValueLine(const RegValue& v)
{
    const QString name = v.name.isEmpty() ? QStringLiteral("@") : Quoted(v.name);
    if (IsPlainString(v))
        return name + '=' + Quoted(DataText(v.data));
    if (v.type == PLATFORM::RegDword && v.data.size() == 4)
        return name + QStringLiteral("=dword:%1").arg(Dword(v.data), 8, 16, QLatin1Char('0'));
    const QString kind =
        v.type == PLATFORM::RegBinary ? QStringLiteral("hex") : QStringLiteral("hex(%1)").arg(v.type, 0, 16);
    return HexList(name + '=' + kind + ':', v.data);
}

QString ListingData(const RegValue& v)
{
    if (v.type == PLATFORM::RegSz || v.type == PLATFORM::RegExpandSz)
        return DataText(v.data);
    if (v.type == PLATFORM::RegDword && v.data.size() == 4)
        return QStringLiteral("0x%1").arg(Dword(v.data), 0, 16);
    return QString::fromLatin1(v.data.toHex()).toUpper();
}

}  // namespace REGTOOL
