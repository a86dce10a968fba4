// UTF-8 <-> UTF-16 conversion at library boundaries.
#include "common/TextConvert.h"

namespace {

// Qt writes '?' for an unpaired surrogate; U+FFFD marks it as damaged text
// the same way the decoder does in the other direction.
QString WithLoneSurrogatesReplaced(const QString& wide)
{
    QString out = wide;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out.at(i);
        if (c.isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

}  // namespace

// Both strings carry their length, so an embedded zero is kept rather than
// ending the text early.
bool Utf8ToWide(const std::string& utf8, QString& wide)
{
    wide = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return true;
}

bool WideToUtf8(const QString& wide, std::string& utf8)
{
    const QByteArray bytes = WithLoneSurrogatesReplaced(wide).toUtf8();
    utf8.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}
