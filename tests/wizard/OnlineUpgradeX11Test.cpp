// The online upgrade of the sample product's real installer on a real X
// server, clicked through with xdotool: the location page's online box
// ticked against the local test server offering a newer version, Yes to the
// question, and the newer installer takes over from the old wizard.
#include "support/Process.h"
#include "support/Sandbox.h"

#include "platform/SpecialFolders.h"
#include "update/UpdateTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

constexpr int kWait = 120000;  // only a guard against hangs

// Points in the wizard (client coordinates) of the controls clicked below.
const QPoint kPairPrimary(158, 542);
const QPoint kPairSecondary(310, 542);
const QPoint kFirstBox(31, 426);
const QPoint kSecondBox(31, 464);

QString Xdotool(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), arguments);
    EXPECT_TRUE(p.waitForFinished(kWait));
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

bool WaitFor(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > kWait)
            return false;
        QThread::msleep(100);
    }
    return true;
}

// The first visible window whose name matches the pattern, waited for.
QString VisibleWindow(const QString& namePattern)
{
    QString window;
    WaitFor([&] {
        window = Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                          namePattern})
                     .section(u'\n', 0, 0);
        return !window.isEmpty();
    });
    return window;
}

void ClickAt(const QString& window, QPoint at)
{
    const QString shell = Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    QPoint origin;
    for (const QString& line : shell.split(u'\n')) {
        if (line.startsWith(QStringLiteral("X=")))
            origin.setX(line.mid(2).toInt());
        if (line.startsWith(QStringLiteral("Y=")))
            origin.setY(line.mid(2).toInt());
    }
    const QPoint p = origin + at;
    Xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
    QThread::msleep(150);
    Xdotool({QStringLiteral("click"), QStringLiteral("1")});
    QThread::msleep(600);
}

// The sample installer with a manifest that looks for upgrades at url.
QString MakeInstaller(const QString& url)
{
    const QString folder = TESTS::SandboxPath(QStringLiteral("build"));
    QByteArray manifest = TESTS::ReadFileBytes(QStringLiteral(SAMPLE_MANIFEST));
    const int at = manifest.indexOf("<url></url>");
    EXPECT_GE(at, 0) << "the sample manifest has no empty url";
    manifest.replace(at, 11, "<url>" + url.toUtf8() + "</url>");
    TESTS::WriteFileBytes(folder + QStringLiteral("/Install.xml"), manifest);
    const QString pack = QStringLiteral(NORVEX_PACK_EXE);
    const QString package = folder + QStringLiteral("/labelprint.cab");
    const QString installer = TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup"));
    QDir().mkpath(QFileInfo(installer).path());
    const TESTS::ProcessResult built = TESTS::RunProcess(
        pack,
        {QStringLiteral("build"), QStringLiteral("--manifest"), folder + QStringLiteral("/Install.xml"),
         QStringLiteral("--source"), QStringLiteral(SAMPLE_PAYLOAD), QStringLiteral("--template"),
         QStringLiteral(NORVEX_SETUP_EXE), QStringLiteral("--level"), QStringLiteral("1"),
         QStringLiteral("-o"), package});
    EXPECT_EQ(built.exitCode, 0) << built.err.toStdString();
    const TESTS::ProcessResult attached = TESTS::RunProcess(
        pack,
        {QStringLiteral("attach"), QStringLiteral("--template"), QStringLiteral(NORVEX_SETUP_EXE),
         QStringLiteral("--package"), package, QStringLiteral("-o"), installer});
    EXPECT_EQ(attached.exitCode, 0) << attached.err.toStdString();
    QFile::setPermissions(installer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return installer;
}

class OnlineUpgradeX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
        UPDATETEST::ClearProxyEnvironment();
    }
    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kWait);
        }
    }

    QProcess process;
};

TEST_F(OnlineUpgradeX11, NewerInstallerTakesOverFromTheWizard)
{
    UPDATETEST::CTestServer server;
    const QString marker = TESTS::SandboxPath(QStringLiteral("newer-installer-ran"));
    server.Serve(QStringLiteral("/new/LabelPrintSetup"),
                 "#!/bin/sh\necho \"$0\" > '" + marker.toUtf8() + "'\n");
    server.Serve(QStringLiteral("/upgrade.xml"),
                 "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<upgrade><version>1.0.1</version><url>"
                     + server.Url(QStringLiteral("/new/LabelPrintSetup")).toUtf8()
                     + "</url><info>Faster printing|New templates</info></upgrade>\n");
    const QString installer = MakeInstaller(server.Url(QStringLiteral("/upgrade.xml")));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.UTF-8"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(installer, {});
    ASSERT_TRUE(process.waitForStarted(kWait));
    const QString window = VisibleWindow(QStringLiteral("Tessaly Label Print"));
    ASSERT_FALSE(window.isEmpty());

    // Licence accepted, on to the ready page, back to the location page.
    ClickAt(window, kSecondBox);
    ClickAt(window, kPairPrimary);
    ClickAt(window, kPairSecondary);
    // The online box, then on: the question about the newer version.
    ClickAt(window, kFirstBox);
    ClickAt(window, kPairPrimary);
    const QString question = VisibleWindow(QStringLiteral("^LabelPrintSetup$"));
    ASSERT_FALSE(question.isEmpty());
    EXPECT_EQ(server.RequestCount(QStringLiteral("/upgrade.xml")), 1);
    QThread::msleep(500);
    // Yes is the question's default button.
    Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), question});
    Xdotool({QStringLiteral("key"), QStringLiteral("Return")});

    ASSERT_TRUE(process.waitForFinished(kWait));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(marker); }));
    // The newer installer ran from the download, and nothing was installed.
    const QString ranFrom = QString::fromUtf8(TESTS::ReadFileBytes(marker)).trimmed();
    EXPECT_TRUE(ranFrom.endsWith(QStringLiteral(".tmp.exe"))) << ranFrom.toStdString();
    EXPECT_EQ(server.RequestCount(QStringLiteral("/new/LabelPrintSetup")), 1);
    EXPECT_FALSE(QFileInfo::exists(PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelPrint/")));
}

}  // namespace
