// norvex-pack: writes a manifest for a folder, builds packages, attaches them
// to the installer's template and lists or verifies packages and installers.
#include "common/MD5Encode.h"
#include "database/PackageResources.h"
#include "pack/ManifestGenerator.h"
#include "pack/PackageBuilder.h"
#include "pack/PackageInspector.h"
#include "pack/ProgressMeter.h"
#include "platform/ExecutableResources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr int kOk = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

const char kMainUsage[] =
    "usage: norvex-pack COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  init     write an install manifest listing every file of a folder\n"
    "  build    make a package from an install manifest and a source folder\n"
    "  attach   attach a package to the installer template\n"
    "  list     show the rows of a package or installer\n"
    "  verify   check every row of a package or installer\n"
    "\n"
    "Run 'norvex-pack COMMAND --help' for the options of a command.\n"
    "The template is the --template EXE given, else " NORVEX_TEMPLATE_RELATIVE
    "\n"
    "beside the folder of norvex-pack.\n";

const char kInitUsage[] =
    "usage: norvex-pack init --source DIR --prog NAME --title TITLE --version VER\n"
    "                        [--company C] [--help-url U] [--main RELATIVE_PATH]\n"
    "                        [--quiet] -o Install.xml\n"
    "\n"
    "Writes a manifest listing every file of DIR (a subfolder sub becomes the\n"
    "folder $intallpath$\\sub\\), the template as uninstall.exe, a main-program\n"
    "link to --main (default: the only program at the top of DIR) and an\n"
    "uninstall link. Names that cannot be installed are refused, all listed.\n";

const char kBuildUsage[] =
    "usage: norvex-pack build --manifest Install.xml --source DIR [--template EXE]\n"
    "                         [--level 0-9] [--quiet] -o PACKAGE\n"
    "\n"
    "Packs Install.xml and every file entry of the manifest, read from DIR/pack\n"
    "(or DIR/name when pack is empty). A pack naming the --template executable\n"
    "(its file name or the path as given) packs that executable itself, for\n"
    "example as uninstall.exe. Files are compressed into zlib streams at --level\n"
    "(default 8, which already packs smaller than zlib's own 9; 9 packs a little\n"
    "smaller still, more slowly) and stored as they are when that does not make\n"
    "them smaller.\n"
    "SOURCE_DATE_EPOCH, when set, is the time of the Install.xml row.\n"
    "Progress goes to standard error; --quiet prints errors only.\n";

const char kAttachUsage[] =
    "usage: norvex-pack attach [--template EXE] --package PACKAGE -o INSTALLER\n"
    "\n"
    "Writes INSTALLER: the template with the package and its MD5 text attached.\n"
    "A package already attached to the template is replaced.\n";

const char kListUsage[] =
    "usage: norvex-pack list FILE\n"
    "\n"
    "One line per row of the package (or of the package an installer carries):\n"
    "name, mode, length, len, time, md5, separated by tabs.\n";

const char kVerifyUsage[] =
    "usage: norvex-pack verify [--quiet] FILE\n"
    "\n"
    "Checks every row (inflates it, compares sizes and digest), the manifest\n"
    "row, and for an installer the attached digest text. Prints what is wrong\n"
    "and exits with 1 unless all is sound.\n";

void Print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int Error(const QString& command, const QString& text)
{
    Print(stderr, QStringLiteral("norvex-pack %1: %2\n").arg(command, text));
    return kFailure;
}

int UsageError(const QString& command, const QString& text)
{
    Print(stderr, QStringLiteral("norvex-pack %1: %2 (see --help)\n").arg(command, text));
    return kUsage;
}

// Options of the form "--name value" (or "-o value"), plus positional
// arguments. Unknown options are usage errors.
struct ParsedArguments {
    std::map<QString, QString> options;
    QStringList positional;
    bool help = false;
    bool quiet = false;
    QString error;
};

ParsedArguments ParseArguments(const QStringList& arguments, const QStringList& valueOptions,
                               bool quietAllowed = false)
{
    ParsedArguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--help" || argument == u"-h") {
            parsed.help = true;
        } else if (quietAllowed && (argument == u"--quiet" || argument == u"-q")) {
            parsed.quiet = true;
        } else if (argument.startsWith(u'-') && argument.size() > 1) {
            QString name = argument;
            QString value;
            const qsizetype equals = argument.indexOf(u'=');
            const bool inlineValue = argument.startsWith(u"--") && equals > 0;
            if (inlineValue) {
                name = argument.left(equals);
                value = argument.mid(equals + 1);
            }
            if (!valueOptions.contains(name)) {
                parsed.error = QStringLiteral("unknown option %1").arg(name);
                return parsed;
            }
            if (!inlineValue) {
                if (i + 1 >= arguments.size()) {
                    parsed.error = QStringLiteral("%1 needs a value").arg(name);
                    return parsed;
                }
                value = arguments[++i];
            }
            parsed.options[name] = value;
        } else {
            parsed.positional << argument;
        }
    }
    return parsed;
}

QString Option(const ParsedArguments& parsed, const QString& name)
{
    const auto it = parsed.options.find(name);
    return it == parsed.options.end() ? QString() : it->second;
}

// The installed layout keeps the template below the tools' folder; an
// unpacked copy of the package works the same.
QString DefaultTemplatePath()
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (self.isEmpty())
        return {};
    const QString path = QDir::cleanPath(QFileInfo(self).absolutePath() + QStringLiteral("/")
                                         + QStringLiteral(NORVEX_TEMPLATE_RELATIVE));
    return QFileInfo(path).isFile() ? path : QString();
}

QString TemplateOption(const ParsedArguments& parsed);

int RunInit(const QStringList& arguments)
{
    const QString command = QStringLiteral("init");
    const ParsedArguments parsed = ParseArguments(
        arguments,
        {QStringLiteral("--source"), QStringLiteral("--prog"), QStringLiteral("--title"),
         QStringLiteral("--version"), QStringLiteral("--company"), QStringLiteral("--help-url"),
         QStringLiteral("--main"), QStringLiteral("-o"), QStringLiteral("--output")},
        true);
    if (parsed.help) {
        Print(stdout, QString::fromUtf8(kInitUsage));
        return kOk;
    }
    if (!parsed.error.isEmpty())
        return UsageError(command, parsed.error);
    if (!parsed.positional.isEmpty())
        return UsageError(command, QStringLiteral("unexpected argument %1").arg(parsed.positional.first()));

    ManifestInitOptions options;
    options.sourceFolder = Option(parsed, QStringLiteral("--source"));
    options.prog = Option(parsed, QStringLiteral("--prog"));
    options.title = Option(parsed, QStringLiteral("--title"));
    options.version = Option(parsed, QStringLiteral("--version"));
    options.company = Option(parsed, QStringLiteral("--company"));
    options.helpUrl = Option(parsed, QStringLiteral("--help-url"));
    options.mainPath = Option(parsed, QStringLiteral("--main"));
    QString outputPath = Option(parsed, QStringLiteral("-o"));
    if (outputPath.isEmpty())
        outputPath = Option(parsed, QStringLiteral("--output"));
    if (options.sourceFolder.isEmpty() || parsed.options.count(QStringLiteral("--prog")) == 0
        || parsed.options.count(QStringLiteral("--title")) == 0
        || parsed.options.count(QStringLiteral("--version")) == 0 || outputPath.isEmpty())
        return UsageError(command,
                          QStringLiteral("--source, --prog, --title, --version and -o are required"));
    if (!QFileInfo(options.sourceFolder).isDir())
        return Error(command, QStringLiteral("source folder %1 does not exist").arg(options.sourceFolder));

    CInstallInfo manifest;
    QStringList problems;
    QStringList warnings;
    if (!CManifestGenerator::Generate(options, manifest, problems, warnings)) {
        for (const QString& problem : problems)
            Print(stderr, QStringLiteral("norvex-pack init: refused: %1\n").arg(problem));
        return Error(command, QStringLiteral("%1 refused, nothing written").arg(problems.size()));
    }
    if (!parsed.quiet) {
        for (const QString& warning : warnings)
            Print(stderr, QStringLiteral("norvex-pack init: warning: %1\n").arg(warning));
    }
    if (!manifest.Save(outputPath, QStringLiteral("install"), WriteManifest, &manifest))
        return Error(command, QStringLiteral("cannot write %1").arg(outputPath));
    if (!parsed.quiet)
        Print(stderr,
              QStringLiteral("norvex-pack init: %1 files listed in %2\n")
                  .arg(manifest.files.size() - 1)
                  .arg(outputPath));
    return kOk;
}

int RunBuild(const QStringList& arguments)
{
    const QString command = QStringLiteral("build");
    const ParsedArguments parsed = ParseArguments(
        arguments,
        {QStringLiteral("--manifest"), QStringLiteral("--source"), QStringLiteral("--template"),
         QStringLiteral("--level"), QStringLiteral("-o"), QStringLiteral("--output")},
        true);
    if (parsed.help) {
        Print(stdout, QString::fromUtf8(kBuildUsage));
        return kOk;
    }
    if (!parsed.error.isEmpty())
        return UsageError(command, parsed.error);
    if (!parsed.positional.isEmpty())
        return UsageError(command, QStringLiteral("unexpected argument %1").arg(parsed.positional.first()));

    PackageBuildOptions options;
    options.manifestPath = Option(parsed, QStringLiteral("--manifest"));
    options.sourceFolder = Option(parsed, QStringLiteral("--source"));
    options.templatePath = TemplateOption(parsed);
    options.outputPath = Option(parsed, QStringLiteral("-o"));
    if (options.outputPath.isEmpty())
        options.outputPath = Option(parsed, QStringLiteral("--output"));
    if (options.manifestPath.isEmpty() || options.sourceFolder.isEmpty() || options.outputPath.isEmpty())
        return UsageError(command, QStringLiteral("--manifest, --source and -o are required"));
    if (!QFileInfo(options.sourceFolder).isDir())
        return Error(command, QStringLiteral("source folder %1 does not exist").arg(options.sourceFolder));
    if (!options.templatePath.isEmpty() && !QFileInfo(options.templatePath).isFile())
        return Error(command, QStringLiteral("template %1 does not exist").arg(options.templatePath));
    const QString level = Option(parsed, QStringLiteral("--level"));
    if (!level.isEmpty()) {
        bool ok = false;
        options.level = level.toInt(&ok);
        if (!ok || options.level < 0 || options.level > 9)
            return UsageError(command, QStringLiteral("--level must be 0 to 9"));
    }
    CProgressMeter meter(stderr, CProgressMeter::StyleFor(stderr, parsed.quiet),
                         QStringLiteral("norvex-pack build"));
    options.progress = [&meter](qint64 done, qint64 total) { meter.Update(done, total); };
    QString error;
    PackageBuildSummary summary;
    if (!CPackageBuilder::Build(options, &error, &summary))
        return Error(command, error);
    meter.Finish(QStringLiteral("%1 files, %2 packed into %3 (%4) in %5 s")
                     .arg(summary.files)
                     .arg(CProgressMeter::SizeText(summary.payloadBytes),
                          CProgressMeter::SizeText(summary.packageBytes), options.outputPath)
                     .arg(meter.ElapsedSeconds(), 0, 'f', 1));
    return kOk;
}

QString TemplateOption(const ParsedArguments& parsed)
{
    const QString given = Option(parsed, QStringLiteral("--template"));
    return given.isEmpty() ? DefaultTemplatePath() : given;
}

int RunAttach(const QStringList& arguments)
{
    const QString command = QStringLiteral("attach");
    const ParsedArguments parsed = ParseArguments(arguments,
                                                  {QStringLiteral("--template"), QStringLiteral("--package"),
                                                   QStringLiteral("-o"), QStringLiteral("--output")});
    if (parsed.help) {
        Print(stdout, QString::fromUtf8(kAttachUsage));
        return kOk;
    }
    if (!parsed.error.isEmpty())
        return UsageError(command, parsed.error);
    if (!parsed.positional.isEmpty())
        return UsageError(command, QStringLiteral("unexpected argument %1").arg(parsed.positional.first()));
    const QString templatePath = TemplateOption(parsed);
    const QString packagePath = Option(parsed, QStringLiteral("--package"));
    QString outputPath = Option(parsed, QStringLiteral("-o"));
    if (outputPath.isEmpty())
        outputPath = Option(parsed, QStringLiteral("--output"));
    if (packagePath.isEmpty() || outputPath.isEmpty())
        return UsageError(command, QStringLiteral("--package and -o are required"));
    if (templatePath.isEmpty())
        return UsageError(command, QStringLiteral("no template installed; give --template"));
    if (!QFileInfo(templatePath).isFile())
        return Error(command, QStringLiteral("template %1 does not exist").arg(templatePath));

    // Only packages go in: a wrong file would make an installer that always fails.
    CPackageInspector inspector;
    QString error;
    if (!inspector.Open(packagePath, &error))
        return Error(command, error);
    if (inspector.IsInstaller())
        return Error(command, QStringLiteral("%1 is an installer, not a package").arg(packagePath));
    std::vector<PackageRowInfo> rows;
    if (!inspector.ReadRows(rows, &error))
        return Error(command, QStringLiteral("%1: not a package (%2)").arg(packagePath, error));
    bool hasManifest = false;
    for (const PackageRowInfo& row : rows)
        hasManifest = hasManifest || row.name == u"Install.xml";
    if (!hasManifest)
        Print(stderr,
              QStringLiteral("norvex-pack attach: warning: %1 has no Install.xml row; the "
                             "installer will not start\n")
                  .arg(packagePath));

    const QString digest = GetMD5OfFile(packagePath).toLower();
    if (digest.isEmpty())
        return Error(command, QStringLiteral("cannot read %1").arg(packagePath));
    std::vector<PLATFORM::ResourceSource> resources(2);
    resources[0].type = PACKAGE_RESOURCES::ResourceType();
    resources[0].id = PACKAGE_RESOURCES::kPackageId;
    resources[0].language = PACKAGE_RESOURCES::kAttachedLanguage;
    resources[0].sourcePath = packagePath;
    resources[1].type = PACKAGE_RESOURCES::ResourceType();
    resources[1].id = PACKAGE_RESOURCES::kDigestId;
    resources[1].language = PACKAGE_RESOURCES::kAttachedLanguage;
    resources[1].bytes = digest.toLatin1();
    if (!PLATFORM::CExecutableResources::Attach(templatePath, resources, outputPath, &error))
        return Error(command, error.isEmpty() ? QStringLiteral("cannot write %1").arg(outputPath) : error);
    return kOk;
}

int RunList(const QStringList& arguments, bool verify)
{
    const QString command = verify ? QStringLiteral("verify") : QStringLiteral("list");
    const ParsedArguments parsed = ParseArguments(arguments, {}, verify);
    if (parsed.help) {
        Print(stdout, QString::fromUtf8(verify ? kVerifyUsage : kListUsage));
        return kOk;
    }
    if (!parsed.error.isEmpty())
        return UsageError(command, parsed.error);
    if (parsed.positional.size() != 1)
        return UsageError(command, QStringLiteral("one FILE expected"));
    const QString path = parsed.positional.first();

    CPackageInspector inspector;
    QString error;
    if (!inspector.Open(path, &error))
        return Error(command, error);
    if (!verify) {
        std::vector<PackageRowInfo> rows;
        if (!inspector.ReadRows(rows, &error))
            return Error(command, QStringLiteral("%1: not a package (%2)").arg(path, error));
        for (const PackageRowInfo& row : rows) {
            Print(stdout,
                  QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                      .arg(row.name)
                      .arg(row.mode)
                      .arg(row.length)
                      .arg(row.len)
                      .arg(row.time, row.md5));
        }
        return kOk;
    }
    CProgressMeter meter(stderr, CProgressMeter::StyleFor(stderr, parsed.quiet),
                         QStringLiteral("norvex-pack verify"));
    const QStringList problems =
        inspector.Verify([&meter](qint64 done, qint64 total) { meter.Update(done, total); });
    // A failed check ends with its one error line instead of the summary.
    meter.Finish(problems.isEmpty()
                     ? QStringLiteral("%1 checked in %2 s").arg(path).arg(meter.ElapsedSeconds(), 0, 'f', 1)
                     : QString());
    for (const QString& problem : problems)
        Print(stdout, problem + u'\n');
    if (!problems.isEmpty())
        return Error(command, QStringLiteral("%1: %2 problem(s)").arg(path).arg(problems.size()));
    if (!parsed.quiet)
        Print(stdout, QStringLiteral("%1: ok\n").arg(path));
    return kOk;
}

}  // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    if (arguments.isEmpty()) {
        Print(stderr, QString::fromUtf8(kMainUsage));
        return kUsage;
    }
    const QString command = arguments.takeFirst();
    if (command == u"--help" || command == u"-h" || command == u"help") {
        Print(stdout, QString::fromUtf8(kMainUsage));
        return kOk;
    }
    if (command == u"init")
        return RunInit(arguments);
    if (command == u"build")
        return RunBuild(arguments);
    if (command == u"attach")
        return RunAttach(arguments);
    if (command == u"list")
        return RunList(arguments, false);
    if (command == u"verify")
        return RunList(arguments, true);
    Print(stderr, QStringLiteral("norvex-pack: unknown command %1 (see --help)\n").arg(command));
    return kUsage;
}
