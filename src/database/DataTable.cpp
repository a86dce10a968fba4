#include "database/DataTable.h"

#include "common/TextConvert.h"

#include <cmath>
#include <limits>
#include <string>

namespace DATABASE {

namespace {

int32_t Saturate(Json::LargestInt value)
{
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return int32_t(value);
}

// YYYY-MM-DDTHH:MM:SS... becomes YYYY-MM-DD HH:MM:SS, the package time form.
QString FromIsoDateTime(const QString& text)
{
    if (text.size() >= 19 && text[4] == u'-' && text[10] == u'T' && text[16] == u':') {
        QString plain = text.left(19);
        plain[10] = u' ';
        return plain;
    }
    return text;
}

}  // namespace

int CTYDataTable::GetRowCount() const
{
    switch (m_mode) {
    case FieldTableMode:
        return m_fieldTable.GetRowCount();
    case JsonMode:
        return m_json.isArray() ? int(m_json.size()) : 0;
    default:
        return 0;
    }
}

// Member of the first array element, or null when the JSON is not an array of
// objects; jsoncpp throws on indexing the wrong type, so check before.
const Json::Value* CTYDataTable::FirstJsonMember(const char* name) const
{
    if (!m_json.isArray() || m_json.empty())
        return nullptr;
    const Json::Value& first = m_json[Json::ArrayIndex(0)];
    if (!first.isObject())
        return nullptr;
    return first.find(name, name + std::char_traits<char>::length(name));
}

int32_t CTYDataTable::GetIntValue() const
{
    if (m_mode == FieldTableMode)
        return m_fieldTable.GetFirstRowInt(m_fieldTable.FindColumn(QStringLiteral("intValue")));
    if (m_mode != JsonMode)
        return 0;
    const Json::Value* member = FirstJsonMember("intValue");
    if (!member)
        return 0;
    switch (member->type()) {
    case Json::intValue:
        return Saturate(member->asLargestInt());
    case Json::uintValue:
        return member->asLargestUInt() > Json::LargestUInt(std::numeric_limits<int32_t>::max())
            ? std::numeric_limits<int32_t>::max()
            : int32_t(member->asLargestUInt());
    case Json::realValue: {
        const double d = member->asDouble();
        if (std::isnan(d))
            return 0;
        if (d <= double(std::numeric_limits<int32_t>::min()))
            return std::numeric_limits<int32_t>::min();
        if (d >= double(std::numeric_limits<int32_t>::max()))
            return std::numeric_limits<int32_t>::max();
        return int32_t(d);
    }
    default:
        return 0;
    }
}

QString CTYDataTable::GetStrValue() const
{
    if (m_mode == FieldTableMode)
        return m_fieldTable.GetFirstRowText(m_fieldTable.FindColumn(QStringLiteral("strValue")));
    if (m_mode != JsonMode)
        return QString();
    const Json::Value* member = FirstJsonMember("strValue");
    if (!member)
        return QString();
    switch (member->type()) {
    case Json::intValue:
        return QString::number(qint64(member->asLargestInt()));
    case Json::realValue:
        return QString::asprintf("%.02f", member->asDouble());
    case Json::stringValue: {
        QString text;
        Utf8ToWide(member->asString(), text);
        return FromIsoDateTime(text);
    }
    default:
        return QString();
    }
}

}  // namespace DATABASE
