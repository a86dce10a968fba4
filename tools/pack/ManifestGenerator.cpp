#include "pack/ManifestGenerator.h"

#include "common/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace {

const QString kInstallMacro = QStringLiteral("$intallpath$");
const QString kAppDataMacro = QStringLiteral("$appdatapath$");
const QString kUninstallName = QStringLiteral("uninstall.exe");
const QString kManifestRowName = QStringLiteral("Install.xml");

struct FoundFile {
    QString relative;  // '/' separated, below the source folder
    QString name;      // last component
    QString folder;    // '/' separated, empty at the top
    bool executable = false;
};

// The deploy rule decides the run bit from the content, so the same rule
// tells which files will be programs once installed.
bool LooksExecutable(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head.startsWith("#!")
        || head
        == QByteArray(
               "\x7f"
               "ELF",
               4);
}

// Control characters are shown as \xNN so that a name cannot drive the
// terminal that shows the message.
QString Quoted(const QString& text)
{
    QString shown;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            shown += QStringLiteral("\\x%1").arg(QString::number(u, 16).toUpper().rightJustified(2, u'0'));
        else
            shown += c;
    }
    return u'"' + shown + u'"';
}

// A folder's entries as raw bytes: QDir drops names that are not UTF-8,
// which would leave such files silently out of the manifest.
bool ListFolder(const QByteArray& path, std::vector<QByteArray>& names)
{
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return true;
}

// Walks folder (relative below root) in name order, files before subfolders.
void Walk(const QByteArray& root, const QString& folder, std::vector<FoundFile>& files, QStringList& problems)
{
    const QByteArray folderPath = folder.isEmpty() ? root : root + '/' + folder.toUtf8();
    std::vector<QByteArray> names;
    if (!ListFolder(folderPath, names)) {
        problems << QStringLiteral("%1: cannot be read").arg(Quoted(folder));
        return;
    }
    std::vector<QString> entries;
    for (const QByteArray& raw : names) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString entry = decoder.decode(raw);
        const QString relative = folder.isEmpty() ? entry : folder + u'/' + entry;
        if (decoder.hasError()) {
            problems << QStringLiteral("%1: not valid UTF-8").arg(Quoted(relative));
            continue;
        }
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end());
    QStringList subfolders;
    for (const QString& entry : entries) {
        const QString relative = folder.isEmpty() ? entry : folder + u'/' + entry;
        const QByteArray full = root + '/' + relative.toUtf8();
        if (const QString problem = CManifestGenerator::NameProblem(entry); !problem.isEmpty()) {
            problems << QStringLiteral("%1: %2").arg(Quoted(relative), problem);
            continue;
        }
        struct stat link {};
        struct stat target {};
        if (::lstat(full.constData(), &link) != 0) {
            problems << QStringLiteral("%1: cannot be read").arg(Quoted(relative));
            continue;
        }
        if (S_ISDIR(link.st_mode)) {
            subfolders << relative;
            continue;
        }
        // A link to a file packs the file; links to folders are not followed,
        // so a loop cannot make the walk endless.
        if (::stat(full.constData(), &target) != 0 || !S_ISREG(target.st_mode)) {
            problems << QStringLiteral("%1: not a regular file").arg(Quoted(relative));
            continue;
        }
        files.push_back({relative, entry, folder, LooksExecutable(QString::fromUtf8(full))});
    }
    for (const QString& subfolder : subfolders)
        Walk(root, subfolder, files, problems);
}

QString Backslashed(QString path)
{
    return path.replace(u'/', u'\\');
}

}  // namespace

QString CManifestGenerator::NameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("empty name");
    if (name == u"." || name == u"..")
        return QStringLiteral("a name of its own folder or its parent");
    if (name.contains(u'/') || name.contains(u'\\'))
        return QStringLiteral("holds a path separator");
    if (name.contains(QChar::ReplacementCharacter))
        return QStringLiteral("not valid UTF-8");
    if (const QString problem = TextProblem(name); !problem.isEmpty())
        return problem;
    if (name.contains(kInstallMacro) || name.contains(kAppDataMacro))
        return QStringLiteral("holds a path macro");
    // Whatever the installer itself takes for more than one name.
    if (!IsSingleName(name))
        return QStringLiteral("not a single name");
    return {};
}

QString CManifestGenerator::TextProblem(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            return QStringLiteral("holds a control character (U+%1)")
                .arg(QString::number(u, 16).toUpper().rightJustified(4, u'0'));
    }
    return {};
}

bool CManifestGenerator::Generate(const ManifestInitOptions& options, CInstallInfo& manifest,
                                  QStringList& problems, QStringList& warnings)
{
    problems.clear();
    warnings.clear();
    const std::pair<const char*, const QString*> texts[] = {
        {"--prog", &options.prog},       {"--title", &options.title},      {"--version", &options.version},
        {"--company", &options.company}, {"--help-url", &options.helpUrl}, {"--main", &options.mainPath},
    };
    for (const auto& [option, value] : texts) {
        if (const QString problem = TextProblem(*value); !problem.isEmpty())
            problems << QStringLiteral("%1: %2").arg(QLatin1String(option), problem);
    }
    // The product name becomes a folder and a registry key name.
    if (const QString problem = NameProblem(options.prog); !problem.isEmpty())
        problems << QStringLiteral("--prog %1: %2").arg(Quoted(options.prog), problem);
    if (options.title.isEmpty())
        problems << QStringLiteral("--title: empty");
    if (!problems.isEmpty())
        return false;

    const QByteArray root = QFile::encodeName(QDir(options.sourceFolder).absolutePath());
    std::vector<FoundFile> files;
    Walk(root, QString(), files, problems);

    // Row names are file names alone, so one name may appear only once, and
    // the manifest and the uninstaller have their names already.
    QHash<QString, QStringList> byName;
    for (const FoundFile& file : files)
        byName[file.name] << file.relative;
    for (const FoundFile& file : files) {
        const QStringList& same = byName[file.name];
        if (file.name == kManifestRowName || file.name == kUninstallName)
            problems << QStringLiteral("%1: the name %2 is the installer's own")
                            .arg(Quoted(file.relative), file.name);
        else if (same.size() > 1 && same.first() == file.relative)
            problems << QStringLiteral("%1: the same file name in several folders (%2)")
                            .arg(Quoted(file.name), same.join(QStringLiteral(", ")));
    }

    QString mainPath = options.mainPath;
    if (!mainPath.isEmpty()) {
        mainPath = QDir::cleanPath(mainPath);
        const bool listed = std::any_of(files.begin(), files.end(),
                                        [&](const FoundFile& f) { return f.relative == mainPath; });
        if (!listed)
            problems << QStringLiteral("--main %1: no such file in %2")
                            .arg(Quoted(options.mainPath), options.sourceFolder);
    } else {
        QStringList programs;
        for (const FoundFile& file : files) {
            if (file.folder.isEmpty() && file.executable)
                programs << file.relative;
        }
        if (programs.size() == 1)
            mainPath = programs.first();
        else if (programs.isEmpty())
            warnings << QStringLiteral(
                            "no program at the top of %1, so no main-program link; "
                            "name one with --main")
                            .arg(options.sourceFolder);
        else
            warnings << QStringLiteral(
                            "several programs at the top of %1 (%2), so no "
                            "main-program link; name one with --main")
                            .arg(options.sourceFolder, programs.join(QStringLiteral(", ")));
    }
    if (!problems.isEmpty())
        return false;

    manifest = CInstallInfo();
    manifest.version.prog = options.title;
    manifest.version.ver = options.version;
    manifest.info.prog = options.prog;
    manifest.info.company = options.company;
    manifest.info.help = options.helpUrl;
    const QString installFolder = kInstallMacro + u'\\';
    for (const FoundFile& file : files) {
        CInstFileInfo entry;
        entry.name = file.name;
        entry.path = file.folder.isEmpty() ? installFolder : installFolder + Backslashed(file.folder) + u'\\';
        entry.pack = Backslashed(file.relative);
        manifest.files.push_back(entry);
    }
    CInstFileInfo uninstaller;
    uninstaller.name = kUninstallName;
    uninstaller.path = installFolder;
    uninstaller.pack = options.templatePack;
    uninstaller.action = QStringLiteral("setup");
    manifest.files.push_back(uninstaller);

    // Link files are named after the title when it is one safe name, else
    // after the product name, as the menu folder is.
    const QString linkBase = NameProblem(options.title).isEmpty() ? options.title : options.prog;
    if (!mainPath.isEmpty()) {
        CInstShortcutInfo link;
        link.path = installFolder + Backslashed(mainPath);
        link.name = options.title;
        link.type = QStringLiteral("mainprog");
        link.lnk = linkBase + QStringLiteral(".lnk");
        manifest.shortcut.push_back(link);
    }
    CInstShortcutInfo removal;
    removal.path = installFolder + kUninstallName;
    removal.name = QStringLiteral("Uninstall %1").arg(options.title);
    removal.type = QStringLiteral("uninstall");
    removal.lnk = QStringLiteral("Uninstall %1.lnk").arg(linkBase);
    manifest.shortcut.push_back(removal);
    return true;
}
