#include "platform/SpecialFolders.h"

#include "common/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace PLATFORM {
namespace {

QString Env(const char* name) { return qEnvironmentVariable(name); }

bool InSandbox() { return !SandboxRoot().isEmpty(); }

// An XDG variable counts only when it holds an absolute path (XDG rule).
QString XdgOr(const char* name, const QString& fallback)
{
    if (!InSandbox()) {
        const QString v = Env(name);
        if (v.startsWith('/'))
            return WithOneSlash(v);
    }
    return fallback;
}

// Reads XDG_DESKTOP_DIR from user-dirs.dirs ("$HOME/Desktop" form).
QString DesktopFromUserDirs()
{
    QFile f(ConfigHome() + "user-dirs.dirs");
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    static const QRegularExpression line(QStringLiteral("^\\s*XDG_DESKTOP_DIR\\s*=\\s*\"(.*)\"\\s*$"));
    QTextStream in(&f);
    while (!in.atEnd()) {
        const auto m = line.match(in.readLine());
        if (!m.hasMatch())
            continue;
        QString v = m.captured(1);
        if (v.startsWith(QLatin1String("$HOME")))
            v = HomeFolder() + v.mid(5);
        if (v.startsWith('/'))
            return WithOneSlash(QDir::cleanPath(v));
    }
    return {};
}

}  // namespace

Scope CurrentScope()
{
    const QString forced = Env("NORVEX_SCOPE").toLower();
    if (forced == QLatin1String("user"))
        return Scope::User;
    if (forced == QLatin1String("machine"))
        return Scope::Machine;
    return geteuid() == 0 ? Scope::Machine : Scope::User;
}

QString SandboxRoot()
{
    QString root = Env("NORVEX_ROOT");
    if (root.isEmpty())
        return {};
    root = QDir::cleanPath(QDir(root).absolutePath());
    return root == QLatin1String("/") ? QString() : root;
}

QString HomeFolder()
{
    if (InSandbox())
        return SandboxRoot() + "/home/";
    QString home = Env("HOME");
    if (home.isEmpty()) {
        if (const passwd* pw = getpwuid(getuid()))
            home = QString::fromLocal8Bit(pw->pw_dir);
    }
    return WithOneSlash(home.isEmpty() ? QStringLiteral("/") : home);
}

QString ConfigHome() { return XdgOr("XDG_CONFIG_HOME", HomeFolder() + ".config/"); }

QString DataHome() { return XdgOr("XDG_DATA_HOME", HomeFolder() + ".local/share/"); }

QString ProgramFilesFolder()
{
    return CurrentScope() == Scope::Machine ? SandboxRoot() + "/opt/" : HomeFolder() + ".local/opt/";
}

QString AppDataFolder() { return DataHome(); }

QString ProgramsMenuFolder()
{
    return CurrentScope() == Scope::Machine ? SandboxRoot() + "/usr/local/share/applications/"
                                            : DataHome() + "applications/";
}

QString StartupFolder()
{
    return CurrentScope() == Scope::Machine ? SandboxRoot() + "/etc/xdg/autostart/" : ConfigHome() + "autostart/";
}

QString DesktopFolder()
{
    if (!InSandbox()) {
        const QString v = Env("XDG_DESKTOP_DIR");
        if (v.startsWith('/'))
            return WithOneSlash(v);
        const QString fromFile = DesktopFromUserDirs();
        if (!fromFile.isEmpty())
            return fromFile;
    }
    return HomeFolder() + "Desktop/";
}

QString QuickLaunchFolder() { return AppDataFolder() + "Microsoft/Internet Explorer/Quick Launch/"; }

QString UserHivePath() { return ConfigHome() + "norvex/registry/user.db"; }

QString MachineHivePath()
{
    return CurrentScope() == Scope::Machine ? SandboxRoot() + "/var/lib/norvex/registry/machine.db"
                                            : DataHome() + "norvex/registry/machine.db";
}

QString TempFolder()
{
    const uid_t uid = getuid();
    QString folder;
    if (InSandbox()) {
        folder = SandboxRoot() + QStringLiteral("/tmp/norvex-%1").arg(uid);
        QDir().mkpath(SandboxRoot() + "/tmp");
    } else if (const QString runtime = Env("XDG_RUNTIME_DIR"); runtime.startsWith('/')) {
        folder = WithOneSlash(runtime) + "norvex";
    } else {
        const QString tmp = Env("TMPDIR");
        folder = WithOneSlash(tmp.startsWith('/') ? tmp : QStringLiteral("/tmp")) + QStringLiteral("norvex-%1").arg(uid);
    }

    const QByteArray native = QFile::encodeName(folder);
    if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    // lstat: a link planted in a shared /tmp must not redirect our files.
    if (lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid)
        return {};
    if ((st.st_mode & 077) != 0 && chmod(native.constData(), 0700) != 0)
        return {};
    return folder + '/';
}

}  // namespace PLATFORM
