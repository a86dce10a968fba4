// The sample product's real installer with its wizard on a real X server,
// driven with xdotool as a person would: install, then remove through the
// installed uninstaller (hand-over copy, final removal pages), and dragging
// the window by its background.
#include "support/Sandbox.h"

#include "engine/RegistryHelpers.h"
#include "platform/SpecialFolders.h"

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

using PLATFORM::RegRoot;

constexpr int kWait = 120000;  // only a guard against hangs
const QString kTitle = QStringLiteral("Tessaly Label Print & Share");
const QString kProductKey = QStringLiteral("Software\\Tessaly\\LabelPrint");
const QString kUninstallKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LabelPrint");

// Points in the window (client coordinates) of the controls clicked below.
const QPoint kPairPrimary(158, 542);  // primary button beside the secondary one
const QPoint kLonePrimary(234, 542);  // primary button alone
const QPoint kLicenceBox(31, 464);    // second option box
const QPoint kCloseButton(451, 20);
const QPoint kBackground(10, 300);  // left of every control

QString Xdotool(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), arguments);
    EXPECT_TRUE(p.waitForFinished(kWait));
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = kWait)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(100);
    }
    return true;
}

QPoint WindowPosition(const QString& window);

// The visible window of the wizard, waited for until it stays where it is: a
// window is centred after it appears, and a click aimed by its first place
// would miss on a busy machine.
QString WizardWindow()
{
    QString window;
    QPoint last(-1, -1);
    WaitFor([&] {
        window = Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                          QStringLiteral("Tessaly Label Print")})
                     .section(u'\n', 0, 0);
        if (window.isEmpty())
            return false;
        const QPoint now = WindowPosition(window);
        const bool settled = now == last;
        last = now;
        if (!settled)
            QThread::msleep(300);
        return settled;
    });
    return window;
}

QPoint WindowPosition(const QString& window)
{
    const QString shell = Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    QPoint p;
    for (const QString& line : shell.split(u'\n')) {
        if (line.startsWith(QStringLiteral("X=")))
            p.setX(line.mid(2).toInt());
        if (line.startsWith(QStringLiteral("Y=")))
            p.setY(line.mid(2).toInt());
    }
    return p;
}

void ClickAt(const QString& window, QPoint at)
{
    const QPoint p = WindowPosition(window) + at;
    Xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
    QThread::msleep(150);
    Xdotool({QStringLiteral("click"), QStringLiteral("1")});
    // Time for the wizard to take the click and show what follows.
    QThread::msleep(600);
}

class WizardEndToEndX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
        installer = TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup"));
        TESTS::WriteFileBytes(installer, TESTS::ReadFileBytes(QStringLiteral(SAMPLE_INSTALLER)));
        QFile::setPermissions(installer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        installFolder = PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelPrint/");
        menuFolder = PLATFORM::ProgramsMenuFolder() + kTitle + u'/';
    }
    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kWait);
        }
    }

    // Starts a program with the real X11 platform instead of the tests' offscreen one.
    void Start(const QString& program)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.UTF-8"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, {});
        ASSERT_TRUE(process.waitForStarted(kWait));
    }
    int Finished()
    {
        EXPECT_TRUE(process.waitForFinished(kWait));
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QProcess process;
    QString installer;
    QString installFolder;
    QString menuFolder;
};

TEST_F(WizardEndToEndX11, InstallsAndRemovesTheSampleProductByClicks)
{
    Start(installer);
    QString window = WizardWindow();
    ASSERT_FALSE(window.isEmpty());

    // Licence page: the licence box, then continue; ready page: continue.
    ClickAt(window, kLicenceBox);
    ClickAt(window, kPairPrimary);
    ClickAt(window, kPairPrimary);
    // The installation runs with its pauses; the shortcut page follows it.
    ASSERT_TRUE(WaitFor([&] {
        return QFileInfo::exists(installFolder + QStringLiteral("uninstall.xml"))
            && !RegQueryString(RegRoot::LocalMachine, kUninstallKey, QStringLiteral("UninstallString"))
                    .isEmpty();
    }));
    QThread::msleep(2000);
    ClickAt(window, kLonePrimary);
    // Finished page: the product is not started, then finish.
    ClickAt(window, kLicenceBox);
    ClickAt(window, kLonePrimary);
    EXPECT_EQ(Finished(), 0);

    EXPECT_TRUE(QFileInfo(installFolder + QStringLiteral("LabelPrint")).isExecutable());
    EXPECT_TRUE(QFileInfo(installFolder + QStringLiteral("uninstall.exe")).isExecutable());
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kProductKey, QStringLiteral("InstallPath")),
              installFolder);
    EXPECT_EQ(RegQueryString(RegRoot::ClassesRoot, QStringLiteral(".tlp"), QString()),
              QStringLiteral("Tessaly.LabelPrint"));
    EXPECT_TRUE(QFileInfo::exists(menuFolder + QStringLiteral("Tessaly Label Print.desktop")));
    EXPECT_TRUE(QFileInfo::exists(PLATFORM::DesktopFolder() + QStringLiteral("Tessaly Label Print.desktop")));

    // The installed uninstaller: removal is chosen, the copy takes over.
    Start(installFolder + QStringLiteral("uninstall.exe"));
    window = WizardWindow();
    ASSERT_FALSE(window.isEmpty());
    ClickAt(window, kPairPrimary);
    EXPECT_EQ(Finished(), 0);
    // The first stage has ended, so the window now on screen is the copy's
    // (X11 may give it the same id as the first one's).
    window = WizardWindow();
    ASSERT_FALSE(window.isEmpty());
    // Confirm page of the copy: remove; then finish without the user data.
    QThread::msleep(500);
    ClickAt(window, kPairPrimary);
    ASSERT_TRUE(WaitFor([&] { return !QFileInfo::exists(installFolder); }));
    ASSERT_TRUE(WaitFor([&] {
        return RegQueryString(RegRoot::LocalMachine, kUninstallKey, QStringLiteral("UninstallString"))
                   .isEmpty()
            && !QFileInfo::exists(menuFolder);
    }));
    QThread::msleep(1500);
    ClickAt(window, kLonePrimary);
    ASSERT_TRUE(WaitFor([&] {
        return Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                        QStringLiteral("Tessaly Label Print")})
            .isEmpty();
    }));

    EXPECT_TRUE(RegQueryString(RegRoot::CurrentUser, kProductKey, QStringLiteral("InstallPath")).isEmpty());
    EXPECT_TRUE(RegQueryString(RegRoot::ClassesRoot, QStringLiteral(".tlp"), QString()).isEmpty());
    EXPECT_FALSE(
        QFileInfo::exists(PLATFORM::DesktopFolder() + QStringLiteral("Tessaly Label Print.desktop")));
    // The user's data stays: the box was not ticked.
    EXPECT_TRUE(QFileInfo::exists(PLATFORM::AppDataFolder()
                                  + QStringLiteral("Tessaly/LabelPrint/Templates/sample.tlp")));
}

TEST_F(WizardEndToEndX11, DraggingTheBackgroundMovesTheWindowAndAControlDoesNot)
{
    Start(installer);
    const QString window = WizardWindow();
    ASSERT_FALSE(window.isEmpty());
    QThread::msleep(500);

    auto drag = [&](QPoint from, QPoint by) {
        const QPoint start = WindowPosition(window) + from;
        Xdotool({QStringLiteral("mousemove"), QString::number(start.x()), QString::number(start.y())});
        QThread::msleep(150);
        Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        QThread::msleep(150);
        for (int step = 1; step <= 4; ++step) {
            const QPoint p = start + by * step / 4;
            Xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
            QThread::msleep(100);
        }
        Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
        QThread::msleep(500);
    };

    const QPoint before = WindowPosition(window);
    drag(kBackground, QPoint(60, 40));
    EXPECT_EQ(WindowPosition(window), before + QPoint(60, 40));

    // A press on a control is the control's, not a drag.
    const QPoint moved = WindowPosition(window);
    drag(QPoint(kLicenceBox.x() + 5, kLicenceBox.y() - 10), QPoint(60, 40));
    EXPECT_EQ(WindowPosition(window), moved);

    // The close button ends the run with the cancel result.
    ClickAt(window, kCloseButton);
    EXPECT_EQ(Finished(), 1);
    EXPECT_FALSE(QFileInfo::exists(installFolder));
}

}  // namespace
