#include "app/CommandLine.h"

#include "common/FileHelpers.h"

#include <QDir>
#include <QFileInfo>

#include <array>

namespace {

// One row per switch: its name (compared ignoring case), whether the next
// argument is its value, and what it sets.
struct Switch {
    const char16_t* name;
    bool takesValue;
    void (*apply)(CCommandLine& line, const QString& value);
};

template <RunMode mode>
void SetMode(CCommandLine& line, const QString&)
{
    line.mode = mode;
    line.modeSwitchGiven = true;
}

constexpr std::array<Switch, 10> kSwitches = {{
    {u"install", false, SetMode<RunMode::Install>},
    {u"uninstall", false, SetMode<RunMode::Uninstall>},
    {u"upgrade", false, SetMode<RunMode::Upgrade>},
    {u"repair", false, SetMode<RunMode::Repair>},
    {u"douninstall", false, SetMode<RunMode::DoUninstall>},
    {u"silent", false, [](CCommandLine& line, const QString&) { line.silent = true; }},
    {u"log", true, [](CCommandLine& line, const QString& value) { line.logPath = value; }},
    {u"help", false, [](CCommandLine& line, const QString&) { line.help = true; }},
    {u"h", false, [](CCommandLine& line, const QString&) { line.help = true; }},
    {u"?", false, [](CCommandLine& line, const QString&) { line.help = true; }},
}};

const Switch* FindSwitch(const QString& name)
{
    for (const Switch& entry : kSwitches) {
        if (name.compare(QString::fromUtf16(entry.name), Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

QString StripQuotes(QString text)
{
    while (text.endsWith(u'"'))
        text.chop(1);
    while (text.startsWith(u'"'))
        text.remove(0, 1);
    return text;
}

}  // namespace

bool CCommandLine::IsKnownSwitch(const QString& name)
{
    return FindSwitch(name) != nullptr;
}

bool CCommandLine::ForcesUninstall(const QString& modulePath)
{
    return modulePath.toLower().indexOf(QStringLiteral("uninstall.exe")) > 0;
}

CCommandLine CCommandLine::Of(const QStringList& arguments, const QString& workingFolder)
{
    const QString modulePath = ResolveModulePath(arguments.value(0), workingFolder);
    CCommandLine line = Parse(arguments.mid(1), modulePath);
    line.modulePath = modulePath;
    return line;
}

CCommandLine CCommandLine::Parse(const QStringList& arguments, const QString& modulePath)
{
    CCommandLine result;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool dashSwitch = argument.startsWith(u'-');
        const bool slashSwitch = argument.startsWith(u'/') && IsKnownSwitch(argument.mid(1));
        if (!dashSwitch && !slashSwitch) {
            result.pathArgument = argument;
            continue;
        }
        // "--name" is the GNU spelling of "-name"; "--name=value" gives a
        // value inline.
        QString name = argument.mid(argument.startsWith(u"--") ? 2 : 1);
        QString value;
        const qsizetype equals = name.indexOf(u'=');
        const bool inlineValue = argument.startsWith(u"--") && equals > 0;
        if (inlineValue) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        }
        const Switch* known = FindSwitch(name);
        if (!known || (inlineValue && !known->takesValue)) {
            result.unknownSwitches << argument;
            continue;
        }
        if (known->takesValue && !inlineValue) {
            // The next argument is the value whatever it looks like.
            if (i + 1 < arguments.size())
                value = arguments[++i];
        }
        if (known->takesValue && value.isEmpty()) {
            result.switchWithoutValue = argument;
            continue;
        }
        known->apply(result, value);
    }
    if (ForcesUninstall(modulePath))
        result.mode = RunMode::Uninstall;
    result.pathArgument = StripQuotes(result.pathArgument);
    return result;
}

QString CCommandLine::ResolveModulePath(const QString& argument0, const QString& workingFolder)
{
    if (!argument0.isEmpty()) {
        const QString absolute = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(argument0));
        if (FileExists(absolute))
            return absolute;
    }
    // Started through PATH or with a made-up argument 0: ask the system.
    const QString running = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return running.isEmpty() ? QDir::cleanPath(QDir(workingFolder).absoluteFilePath(argument0)) : running;
}

QString CCommandLine::ModuleFolderOf(const QString& modulePath)
{
    const qsizetype slash = modulePath.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral("/");
    return WithOneSlash(modulePath.left(slash));
}
