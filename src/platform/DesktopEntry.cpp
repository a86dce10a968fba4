#include "platform/DesktopEntry.h"

#include "common/MessageTable.h"
#include "platform/FileWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

namespace PLATFORM {
namespace {

const QString kGroup = QStringLiteral("[Desktop Entry]");
const QString kSuffix = QStringLiteral(".desktop");

bool EndsWithLnk(const QString& path)
{
    return path.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive);
}

// Characters that force an Exec argument into quotes.
bool IsReserved(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

// Inside quotes these four need a backslash.
bool NeedsEscapeInQuotes(QChar c)
{
    return c == '"' || c == '`' || c == '$' || c == '\\';
}

bool IsControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

// Control characters other than tab, newline and CR cannot appear in an Exec
// value at all, escaped or not.
bool HasUnwritableControl(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return true;
        if (c.unicode() == 0x7F)
            return true;
    }
    return false;
}

}  // namespace

bool HasControlCharacters(const QString& text)
{
    return std::any_of(text.begin(), text.end(), IsControl);
}

QString DesktopEntryPath(const QString& linkPath)
{
    if (EndsWithLnk(linkPath))
        return linkPath.chopped(4) + kSuffix;
    return linkPath + kSuffix;
}

QString DesktopEntryName(const QString& linkPath)
{
    QString name = linkPath.mid(linkPath.lastIndexOf('/') + 1);
    if (EndsWithLnk(name))
        name.chop(4);
    return name;
}

QStringList SplitArguments(const QString& arguments)
{
    return QProcess::splitCommand(arguments);
}

QString QuoteExecArgument(const QString& argument)
{
    bool quote = argument.isEmpty();
    for (QChar c : argument)
        quote = quote || IsReserved(c);
    QString out;
    if (quote)
        out += '"';
    for (QChar c : argument) {
        if (c == '%')
            out += QLatin1String("%%");
        else if (quote && NeedsEscapeInQuotes(c))
            out += '\\', out += c;
        else
            out += c;
    }
    if (quote)
        out += '"';
    return out;
}

QString FormatExec(const QString& target, const QString& arguments)
{
    QString exec = QuoteExecArgument(target);
    for (const QString& arg : SplitArguments(arguments))
        exec += ' ' + QuoteExecArgument(arg);
    return exec;
}

std::optional<QStringList> SplitExec(const QString& exec)
{
    QStringList args;
    qsizetype i = 0;
    const qsizetype n = exec.size();
    while (i < n) {
        if (exec[i] == ' ') {
            ++i;
            continue;
        }
        QString arg;
        if (exec[i] == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = exec[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\') {
                    if (i == n || !NeedsEscapeInQuotes(exec[i]))
                        return std::nullopt;
                    arg += exec[i++];
                } else if (c == '%') {
                    // Only the literal percent; field codes are not allowed in quotes.
                    if (i == n || exec[i] != '%')
                        return std::nullopt;
                    arg += '%';
                    ++i;
                } else {
                    arg += c;
                }
            }
            // A quoted argument must be the whole argument.
            if (!closed || (i < n && exec[i] != ' '))
                return std::nullopt;
        } else {
            while (i < n && exec[i] != ' ') {
                const QChar c = exec[i++];
                if (IsReserved(c))
                    return std::nullopt;
                if (c == '%') {
                    if (i == n || exec[i] != '%')
                        return std::nullopt;  // field code: not ours
                    ++i;
                }
                arg += c;
            }
        }
        args << arg;
    }
    if (args.isEmpty())
        return std::nullopt;
    return args;
}

QString EscapeValue(const QString& value)
{
    QString out;
    out.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case ' ':
            // Blanks at either end would be trimmed by readers.
            if (i == 0 || i == value.size() - 1)
                out += QLatin1String("\\s");
            else
                out += c;
            break;
        default:
            // Other control characters have no escape in a desktop entry and
            // would reach terminals and desktops raw: dropped.
            if (!IsControl(c))
                out += c;
        }
    }
    return out;
}

QString UnescapeValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar e = value[++i];
        switch (e.unicode()) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            // Not a string escape: kept for the Exec quoting to read.
            out += c;
            out += e;
        }
    }
    return out;
}

bool WriteDesktopEntry(const QString& linkPath, const DesktopEntry& entry, bool executable, CFailure* failure)
{
    auto refuse = [&](const QString& cause) {
        if (failure)
            *failure = {GetTextString(TEXT::CannotWrite), DesktopEntryPath(linkPath), cause};
        return false;
    };
    const QString name = DesktopEntryName(linkPath);
    if (name.isEmpty())
        return refuse(GetTextString(TEXT::LinkHasNoName));
    if (entry.target.isEmpty())
        return refuse(GetTextString(TEXT::LinkHasNoTarget));
    const QStringList args = SplitArguments(entry.arguments);
    if (HasUnwritableControl(entry.target) || HasUnwritableControl(args.join(' ')))
        return refuse(GetTextString(TEXT::ControlCharactersInCommand));

    QString text = kGroup + '\n';
    text += QLatin1String("Type=Application\n");
    text += QLatin1String("Name=") + EscapeValue(name) + '\n';
    if (!entry.description.isEmpty() && entry.description != name)
        text += QLatin1String("Comment=") + EscapeValue(entry.description) + '\n';
    text += QLatin1String("Exec=") + EscapeValue(FormatExec(entry.target, entry.arguments)) + '\n';
    if (!entry.icon.isEmpty())
        text += QLatin1String("Icon=") + EscapeValue(entry.icon) + '\n';
    text += QLatin1String("Terminal=false\n");

    // Readers never see a half-written entry. Desktops want exactly these
    // modes, whatever the umask.
    PLATFORM::FileWriteOptions options;
    options.exactMode = executable ? 0755 : 0644;
    options.durable = true;
    return WriteFileInPlace(DesktopEntryPath(linkPath), text.toUtf8(), options, failure);
}

bool RemoveDesktopEntry(const QString& linkPath)
{
    const QString path = DesktopEntryPath(linkPath);
    QFile::remove(path);
    return !QFileInfo(path).isSymLink() && !QFileInfo::exists(path);
}

std::optional<QMap<QString, QString>> ReadDesktopEntryFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    QMap<QString, QString> values;
    bool inGroup = false;
    bool seen = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inGroup = line == kGroup;
            seen = seen || inGroup;
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (!inGroup || eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!values.contains(key))
            values.insert(key, UnescapeValue(line.mid(eq + 1).trimmed()));
    }
    if (!seen)
        return std::nullopt;
    return values;
}

}  // namespace PLATFORM
