#include "platform/SpecialFolders.h"

#include "common/FileHelpers.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>

#include <pwd.h>
#include <unistd.h>

namespace PLATFORM {
namespace {

QString CleanSandboxRoot(const QString& value)
{
    if (value.isEmpty())
        return {};
    const QString root = QDir::cleanPath(QDir(value).absolutePath());
    return root == QLatin1String("/") ? QString() : root;
}

// An XDG value counts only when it holds an absolute path (XDG rule); inside
// a sandbox none counts.
QString XdgOr(const FolderEnvironment& env, const QString& value, const QString& fallback)
{
    if (env.sandboxRoot.isEmpty() && value.startsWith('/'))
        return WithOneSlash(value);
    return fallback;
}

// XDG_DESKTOP_DIR from user-dirs.dirs: "$HOME/..." or an absolute path.
QString DesktopFromUserDirs(const QString& content, const QString& home)
{
    static const QRegularExpression line(QStringLiteral("^\\s*XDG_DESKTOP_DIR\\s*=\\s*\"(.*)\"\\s*$"));
    for (const QString& text : content.split(u'\n')) {
        const QRegularExpressionMatch m = line.match(text);
        if (!m.hasMatch())
            continue;
        QString v = m.captured(1);
        if (v.startsWith(QLatin1String("$HOME")))
            v = home + v.mid(5);
        if (v.startsWith('/'))
            return WithOneSlash(QDir::cleanPath(v));
    }
    return {};
}

Scope ScopeOf(const FolderEnvironment& env)
{
    const QString forced = env.scopeOverride.toLower();
    if (forced == QLatin1String("user"))
        return Scope::User;
    if (forced == QLatin1String("machine"))
        return Scope::Machine;
    return env.effectiveUid == 0 ? Scope::Machine : Scope::User;
}

}  // namespace

SpecialFolderSet ResolveSpecialFolders(const FolderEnvironment& env)
{
    SpecialFolderSet f;
    const QString& root = env.sandboxRoot;
    const bool sandbox = !root.isEmpty();
    f.scope = ScopeOf(env);
    const bool machine = f.scope == Scope::Machine;

    f.home = sandbox ? root + "/home/" : WithOneSlash(env.home.isEmpty() ? QStringLiteral("/") : env.home);
    f.configHome = XdgOr(env, env.xdgConfigHome, f.home + ".config/");
    f.dataHome = XdgOr(env, env.xdgDataHome, f.home + ".local/share/");
    f.programFiles = machine ? root + "/opt/" : f.home + ".local/opt/";
    f.appData = f.dataHome;
    f.programsMenu = machine ? root + "/usr/local/share/applications/" : f.dataHome + "applications/";
    f.startup = machine ? root + "/etc/xdg/autostart/" : f.configHome + "autostart/";

    f.desktop = f.home + "Desktop/";
    if (!sandbox) {
        if (env.xdgDesktopDir.startsWith('/')) {
            f.desktop = WithOneSlash(env.xdgDesktopDir);
        } else if (env.userDirs) {
            const QString fromFile = DesktopFromUserDirs(*env.userDirs, f.home.chopped(1));
            if (!fromFile.isEmpty())
                f.desktop = fromFile;
        }
    }
    f.quickLaunch = f.appData + "Microsoft/Internet Explorer/Quick Launch/";

    f.userHive = f.configHome + "norvex/registry/user.db";
    f.machineHive =
        machine ? root + "/var/lib/norvex/registry/machine.db" : f.dataHome + "norvex/registry/machine.db";

    if (sandbox)
        f.temp = root + QStringLiteral("/tmp/norvex-%1/").arg(env.uid);
    else if (env.xdgRuntimeDir.startsWith('/'))
        f.temp = WithOneSlash(env.xdgRuntimeDir) + "norvex/";
    else
        f.temp = WithOneSlash(env.tmpDir.startsWith('/') ? env.tmpDir : QStringLiteral("/tmp"))
            + QStringLiteral("norvex-%1/").arg(env.uid);
    return f;
}

FolderEnvironment ReadFolderEnvironment(bool withUserDirs)
{
    FolderEnvironment env;
    env.sandboxRoot = CleanSandboxRoot(qEnvironmentVariable("NORVEX_ROOT"));
    env.scopeOverride = qEnvironmentVariable("NORVEX_SCOPE");
    env.effectiveUid = ::geteuid();
    env.uid = ::getuid();
    env.home = qEnvironmentVariable("HOME");
    if (env.home.isEmpty()) {
        if (const passwd* pw = ::getpwuid(env.uid))
            env.home = QString::fromLocal8Bit(pw->pw_dir);
    }
    env.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    env.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    env.xdgDesktopDir = qEnvironmentVariable("XDG_DESKTOP_DIR");
    env.xdgRuntimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    env.tmpDir = qEnvironmentVariable("TMPDIR");
    if (withUserDirs && env.sandboxRoot.isEmpty()) {
        QFile file(ResolveSpecialFolders(env).configHome + "user-dirs.dirs");
        if (file.open(QIODevice::ReadOnly))
            env.userDirs = QString::fromUtf8(file.readAll());
    }
    return env;
}

namespace {

SpecialFolderSet Current(bool withUserDirs = false)
{
    return ResolveSpecialFolders(ReadFolderEnvironment(withUserDirs));
}

}  // namespace

Scope CurrentScope()
{
    return Current().scope;
}

QString SandboxRoot()
{
    return CleanSandboxRoot(qEnvironmentVariable("NORVEX_ROOT"));
}

QString HomeFolder()
{
    return Current().home;
}

QString ConfigHome()
{
    return Current().configHome;
}

QString DataHome()
{
    return Current().dataHome;
}

QString ProgramFilesFolder()
{
    return Current().programFiles;
}

QString AppDataFolder()
{
    return Current().appData;
}

QString ProgramsMenuFolder()
{
    return Current().programsMenu;
}

QString StartupFolder()
{
    return Current().startup;
}

QString DesktopFolder()
{
    return Current(true).desktop;
}

QString QuickLaunchFolder()
{
    return Current().quickLaunch;
}

QString UserHivePath()
{
    return Current().userHive;
}

QString MachineHivePath()
{
    return Current().machineHive;
}

QString TempFolder()
{
    const FolderEnvironment env = ReadFolderEnvironment();
    QString folder = ResolveSpecialFolders(env).temp;
    folder.chop(1);
    if (!env.sandboxRoot.isEmpty())
        QDir().mkpath(env.sandboxRoot + "/tmp");

    if (const int error = MakeFolder(folder, 0700); error != 0 && error != EEXIST)
        return {};
    FileIdentity st;
    // Links not followed: a link planted in a shared /tmp must not redirect our files.
    if (IdentifyPath(folder, &st, Links::DoNotFollow) != 0 || !st.IsFolder() || st.owner != quint32(env.uid))
        return {};
    if ((st.mode & 077) != 0 && SetMode(folder, 0700) != 0)
        return {};
    return folder + '/';
}

}  // namespace PLATFORM
