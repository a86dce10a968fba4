#include "app/CommandLine.h"

#include "common/FileHelpers.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <optional>

namespace {

struct ModeSwitch {
    const char16_t* name;
    RunMode mode;
};

constexpr std::array<ModeSwitch, 5> kModeSwitches = {{
    {u"install", RunMode::Install},
    {u"uninstall", RunMode::Uninstall},
    {u"upgrade", RunMode::Upgrade},
    {u"repair", RunMode::Repair},
    {u"douninstall", RunMode::DoUninstall},
}};

constexpr char16_t kSilentSwitch[] = u"silent";

std::optional<RunMode> ModeForSwitch(const QString& name)
{
    for (const ModeSwitch& entry : kModeSwitches) {
        if (name.compare(QString::fromUtf16(entry.name), Qt::CaseInsensitive) == 0)
            return entry.mode;
    }
    return std::nullopt;
}

bool IsSilentSwitch(const QString& name)
{
    return name.compare(QString::fromUtf16(kSilentSwitch), Qt::CaseInsensitive) == 0;
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
    return ModeForSwitch(name).has_value() || IsSilentSwitch(name);
}

bool CCommandLine::ForcesUninstall(const QString& modulePath)
{
    return modulePath.toLower().indexOf(QStringLiteral("uninstall.exe")) > 0;
}

CCommandLine CCommandLine::Parse(const QStringList& arguments, const QString& modulePath)
{
    CCommandLine result;
    for (const QString& argument : arguments) {
        const bool dashSwitch = argument.startsWith(u'-');
        const bool slashSwitch = argument.startsWith(u'/') && IsKnownSwitch(argument.mid(1));
        if (!dashSwitch && !slashSwitch) {
            result.pathArgument = argument;
            continue;
        }
        const QString name = argument.mid(1);
        if (const std::optional<RunMode> mode = ModeForSwitch(name)) {
            result.mode = *mode;
            result.modeSwitchGiven = true;
        } else if (IsSilentSwitch(name)) {
            result.silent = true;
        }
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
    return running.isEmpty() ? QDir::cleanPath(QDir(workingFolder).absoluteFilePath(argument0))
                             : running;
}

QString CCommandLine::ModuleFolderOf(const QString& modulePath)
{
    const qsizetype slash = modulePath.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral("/");
    return WithOneSlash(modulePath.left(slash));
}
