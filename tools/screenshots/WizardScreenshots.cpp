// Shows every page of every run mode in each language on a real window and
// saves what the screen shows as PNG files, for the documentation.
//   norvex-wizard-screenshots OUTPUT-FOLDER MANIFEST
// Run it under an X server (scripts/screenshots.sh uses Xvfb) with
// NORVEX_ROOT pointing at a scratch folder.
#include "app/ProcedureView.h"
#include "common/MessageTable.h"
#include "common/TextFormat.h"
#include "engine/InstallEngine.h"
#include "wizard/NorvexSetupDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include <cstdio>

namespace {

struct Language {
    quint16 id;
    const char* name;
};

struct ModePages {
    RunMode mode;
    const char* name;
    int pages;
};

// What a procedure shows while it runs, so the work pages are not empty.
void ShowProgress(CNorvexSetupDlg& dialog, const CInstallEngine& engine, RunMode mode, WizardPage page)
{
    const QString product = engine.Manifest.version.prog;
    if (mode == RunMode::Install && page == WizardPage::Installing) {
        dialog.SetStatusText(StatusLine::Step, FormatMessage(1314));
        dialog.SetStatusText(StatusLine::Overall, FormatMessage(1302, {product}));
        dialog.SetStepBar(60);
        dialog.SetOverallBar(40);
    } else if (mode == RunMode::Upgrade && page == WizardPage::Installing) {
        dialog.SetStatusText(StatusLine::Overall, FormatMessage(1406));
        dialog.SetStepBar(60);
        dialog.SetOverallBar(40);
    } else if (mode == RunMode::Repair && page == WizardPage::Installing) {
        dialog.SetStepBar(60);
    } else if (mode == RunMode::Uninstall && page == WizardPage::Removing) {
        dialog.SetStatusText(StatusLine::Step, FormatMessage(1610));
        dialog.SetStepBar(50);
        dialog.SetOverallBar(50);
    } else if (mode == RunMode::Uninstall && page == WizardPage::RemovingUserData) {
        dialog.SetStepBar(50);
    }
}

void Settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: norvex-wizard-screenshots OUTPUT-FOLDER MANIFEST\n");
        return 2;
    }
    QApplication application(argc, argv);
    const QString output = QFile::decodeName(argv[1]);
    const QString manifest = QFile::decodeName(argv[2]);
    if (!QDir().mkpath(output)) {
        std::fprintf(stderr, "norvex-wizard-screenshots: cannot create %s\n", argv[1]);
        return 1;
    }

    const Language languages[] = {
        {kLangChinesePrc, "zh_CN"}, {kLangChineseTaiwan, "zh_TW"}, {kLangEnglishUs, "en_US"}};
    const ModePages modes[] = {{RunMode::Install, "install", 6},
                               {RunMode::Upgrade, "upgrade", 4},
                               {RunMode::Repair, "repair", 4},
                               {RunMode::Uninstall, "remove", 6}};
    int written = 0;
    for (const Language& language : languages) {
        SetSystemLanguageId(language.id);
        for (const ModePages& m : modes) {
            CInstallEngine engine;
            if (!engine.Manifest.Load(manifest)) {
                std::fprintf(stderr, "norvex-wizard-screenshots: cannot load %s\n", argv[2]);
                return 1;
            }
            engine.ModulePath = QStringLiteral("/usr/local/bin/LabelPrintSetup");
            engine.Mode = RunMode::Install;
            engine.DetectPreviousInstall();
            engine.Mode = m.mode;
            engine.PreviousVersion = QStringLiteral("0.9.2");
            // The folder a machine-wide installation would use, not the scratch root's.
            engine.InstallFolder = QStringLiteral("/opt/Tessaly/LabelPrint/");
            CNorvexSetupDlg dialog(engine);
            dialog.show();
            Settle(300);
            for (int page = 0; page < m.pages; ++page) {
                const WizardPage named = PagesOf(m.mode)[size_t(page)].page;
                dialog.ShowPage(m.mode, named);
                ShowProgress(dialog, engine, m.mode, named);
                Settle(150);
                const QPixmap shot = dialog.screen()->grabWindow(dialog.winId());
                const QString file = QStringLiteral("%1/%2-%3-%4.png")
                                         .arg(output, QLatin1String(language.name), QLatin1String(m.name))
                                         .arg(page);
                if (!shot.save(file)) {
                    std::fprintf(stderr, "norvex-wizard-screenshots: cannot write %s\n",
                                 QFile::encodeName(file).constData());
                    return 1;
                }
                ++written;
            }
        }
    }
    std::printf("%d screenshots in %s\n", written, argv[1]);
    return 0;
}
