// Named parameters of the database layer's configuration procedures, and the
// status record a procedure fills.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace PROVIDER {

class CSqlProcHelperParam {
public:
    enum Kind : int {
        Text = 0,
        Int = 1,
    };

    int kind = Text;
    QString name;  // such as "@ID"
    QString text;
    int32_t intValue = 0;
};

using CSqlProcHelperParamList = std::vector<CSqlProcHelperParam>;

// The one name an integer parameter has.
inline const QString IntParamName = QStringLiteral("@INTVALUR");

inline void AddParam(CSqlProcHelperParamList& params, const QString& name, const QString& text)
{
    CSqlProcHelperParam p;
    p.kind = CSqlProcHelperParam::Text;
    p.name = name;
    p.text = text;
    params.push_back(p);
}

inline void AddIntParam(CSqlProcHelperParamList& params, int32_t value)
{
    CSqlProcHelperParam p;
    p.kind = CSqlProcHelperParam::Int;
    p.name = IntParamName;
    p.intValue = value;
    params.push_back(p);
}

// The first parameter whose name equals it ignoring letter case, or null.
inline const CSqlProcHelperParam* FindParam(const CSqlProcHelperParamList& params, const QString& name)
{
    for (const CSqlProcHelperParam& p : params) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    }
    return nullptr;
}

}  // namespace PROVIDER

// What a procedure reports besides its result: 14 with the last error (empty
// after success), or 5 with "未知的错误" for an unknown procedure name.
struct SqlProcStatus {
    int code = 0;
    QString message;
};
