// The wizard's pages and commands: what each page of each run mode shows, and
// what the buttons, option boxes, links and folder picker do on it.
#include "app/MessageTable.h"
#include "app/TextFormat.h"
#include "app/WorkProcedures.h"
#include "common/PumpMessages.h"
#include "engine/InstallEngine.h"
#include "wizard/DialogTemplate.h"
#include "wizard/DownloadProgressDialog.h"
#include "wizard/NorvexSetupDlg.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>

struct CNorvexSetupDlg::OptionBox {
    bool shown = false;
    QString text;
    bool fitted = false;
    bool checked = false;
};

struct CNorvexSetupDlg::PageContent {
    QString description;
    QString stepLine;     // empty: hidden
    QString overallLine;  // empty: hidden
    OptionBox first;
    OptionBox second;
    bool licenceLine = false;
    bool folder = false;
    bool stepBar = false;
    bool overallBar = false;
    std::optional<QString> primary;
    std::optional<QString> secondary;
    bool primaryEnabled = true;
};

namespace {

bool IsRemoval(RunMode mode)
{
    return mode == RunMode::Uninstall || mode == RunMode::DoUninstall;
}

// The online search is offered only for a manifest that names where to look.
constexpr int kShortestUpgradeUrl = 11;
// The space the location page announces, in MB.
constexpr int kAnnouncedSpace = 46;

}  // namespace

CNorvexSetupDlg::PageContent CNorvexSetupDlg::ContentOf(RunMode mode, int page)
{
    const QString p = m_engine->Manifest.version.prog;
    const QString v = m_engine->Manifest.version.ver;
    const QString pv = m_engine->PreviousVersion;
    const QString m = ModeTitle(mode, p, false);
    const QString next = GetTextString(1204);
    const QString cancel = GetTextString(1205);
    const QString finish = GetTextString(1202);

    PageContent c;
    // The ready pages tell the room the run needs below their own text.
    auto withSpaceLine = [&](const QString& text) {
        const QString space = SpaceNeededLine(*m_engine);
        return space.isEmpty() ? text : text + u'\n' + space;
    };
    auto shortcutPage = [&] {
        c.description = FormatMessage(1320, {m, p});
        c.first = {true, GetTextString(1318), true, true};
        c.second = {true, GetTextString(1319), true, true};
        c.primary = next;
    };
    auto finishPage = [&](const QString& description) {
        c.description = description;
        c.first = {NeedCompanionEditor(), QStringLiteral("安装标签编辑程序"), true, true};
        c.second = {true, FormatMessage(1321, {p}), true, true};
        c.primary = finish;
    };

    switch (mode) {
    case RunMode::Install:
        switch (page) {
        case 0:
            c.description = FormatMessage(1304, {m, p, v});
            c.licenceLine = true;
            c.primary = next;
            c.secondary = cancel;
            c.primaryEnabled = false;
            break;
        case 1:
            c.description = FormatMessage(1307, {m});
            c.stepLine = FormatMessage(1308, {QString::number(kAnnouncedSpace)});
            c.first = {m_engine->Manifest.info.url.size() >= kShortestUpgradeUrl, GetTextString(1324), false,
                       false};
            c.folder = true;
            c.primary = next;
            c.secondary = cancel;
            break;
        case 2:
            c.description = FormatMessage(1309, {m, p});
            c.overallLine = withSpaceLine(GetTextString(1310));
            c.primary = next;
            c.secondary = cancel;
            break;
        case 3:
            c.description = FormatMessage(1311, {m, p});
            c.stepBar = c.overallBar = true;
            c.secondary = cancel;
            break;
        case 4:
            shortcutPage();
            break;
        case 5:
            finishPage(FormatMessage(1322, {m, p}));
            break;
        }
        break;
    case RunMode::Upgrade:
        switch (page) {
        case 0:
            c.description = FormatMessage(1402, {m, p, pv, v});
            c.overallLine = withSpaceLine(GetTextString(1403));
            c.primary = next;
            c.secondary = cancel;
            break;
        case 1:
            c.description = FormatMessage(1404, {m, p, v});
            c.stepLine = GetTextString(1405);
            c.stepBar = c.overallBar = true;
            c.secondary = cancel;
            break;
        case 2:
            shortcutPage();
            break;
        case 3:
            finishPage(FormatMessage(1407, {m, p, v}));
            break;
        }
        break;
    case RunMode::Repair:
        switch (page) {
        case 0:
            c.description = FormatMessage(1503, {m, p, v});
            c.overallLine = withSpaceLine(GetTextString(1502));
            c.primary = next;
            c.secondary = cancel;
            break;
        case 1:
            c.description = FormatMessage(1504, {m, p, v});
            c.stepLine = GetTextString(1505);
            c.stepBar = true;
            // Shown while the repair runs; pressing it then would run the
            // next page's action inside the repair.
            c.primary = next;
            c.primaryEnabled = false;
            break;
        case 2:
            shortcutPage();
            break;
        case 3:
            finishPage(FormatMessage(1506, {m, p, v}));
            break;
        }
        break;
    case RunMode::Uninstall:
    case RunMode::DoUninstall:
        switch (page) {
        case 0:
            c.description = FormatMessage(1605, {m, p});
            c.overallLine = GetTextString(1602);
            c.first = {true, FormatMessage(1603, {p}), false, false};
            c.second = {true, FormatMessage(1604, {p}), false, true};
            c.primary = next;
            c.secondary = cancel;
            break;
        case 1:
            c.description = FormatMessage(1606, {m, p});
            c.stepLine = FormatMessage(1607, {p});
            c.primary = GetTextString(1206);
            c.secondary = cancel;
            break;
        case 2:
            c.description = FormatMessage(1608, {m, p});
            c.overallLine = FormatMessage(1604, {p});
            c.stepBar = c.overallBar = true;
            c.secondary = cancel;
            break;
        case 3:
            c.description = FormatMessage(1613, {m, p});
            c.second = {true, GetTextString(1612), true, false};
            c.primary = finish;
            break;
        case 4:
            c.description = FormatMessage(1614, {m});
            c.stepLine = GetTextString(1615);
            c.stepBar = true;
            c.secondary = cancel;
            break;
        case 5:
            c.description = FormatMessage(1613, {m, p});
            c.primary = finish;
            break;
        }
        break;
    }
    return c;
}

void CNorvexSetupDlg::ShowPage(RunMode mode, int page)
{
    m_page = page;
    ApplyPage(ContentOf(mode, page));
}

void CNorvexSetupDlg::SetOption(CONTROL::CCheckButtonST& box, int id, const OptionBox& option)
{
    if (!option.shown) {
        box.SetText(QString(), false);
        box.hide();
        return;
    }
    if (!option.fitted)
        box.resize(WIZARD::TemplateRect(id).width(), box.height());
    box.SetText(option.text, option.fitted);
    box.SetCheck(option.checked ? 1 : 0);
    box.show();
}

void CNorvexSetupDlg::ApplyPage(const PageContent& c)
{
    SetOption(m_firstOption, IdFirstOption, c.first);
    SetOption(m_secondOption, IdSecondOption, c.second);

    for (CONTROL::CButtonST* control :
         std::initializer_list<CONTROL::CButtonST*>{&m_licenceLink, &m_privacyLink, &m_conjunction}) {
        control->SetText(QString(), false);
        control->hide();
    }
    if (c.licenceLine) {
        m_secondOption.SetCheck(0);
        LayoutLicenceLine(m_engine->Manifest.version.prog);
        m_secondOption.show();
        m_licenceLink.show();
        m_privacyLink.show();
        m_conjunction.show();
    }

    m_stepBar.position = 0;
    m_stepBar.setVisible(c.stepBar);
    m_overallBar.position = 0;
    m_overallBar.setVisible(c.overallBar);

    m_folder.setVisible(c.folder);
    m_browse.setVisible(c.folder);
    if (c.folder)
        m_folder.setText(m_engine->InstallFolder);

    SetStatic(m_description, c.description);
    m_description.show();
    SetStatic(m_stepLine, c.stepLine);
    SetStatic(m_overallLine, c.overallLine);

    LayoutButtons(c.primary, c.secondary);
    m_primary.setEnabled(c.primaryEnabled);
    update();
}

void CNorvexSetupDlg::OnCommand(int id)
{
    switch (id) {
    case IdPrimary:
        OnPrimary();
        break;
    case IdSecondary:
        OnSecondary();
        break;
    case IdClose:
        if (m_close.isEnabled())
            Close(false);
        break;
    case IdFirstOption:
    case IdSecondOption:
        OnOptionBox(id);
        break;
    case IdLicenceLink:
        OpenLink(LicenceUrl(GetSystemLanguageId()));
        break;
    case IdPrivacyLink:
        OpenLink(PrivacyUrl(GetSystemLanguageId()));
        break;
    case IdBrowse:
        OnBrowse();
        break;
    default:
        break;
    }
}

void CNorvexSetupDlg::CreateShortcutsAndShow(int nextPage)
{
    m_procedures.CreateShortcuts(m_firstOption.checked != 0, m_secondOption.checked != 0);
    ShowPage(m_engine->Mode, nextPage);
}

void CNorvexSetupDlg::OnPrimary()
{
    const RunMode mode = m_engine->Mode;
    const bool first = m_firstOption.checked != 0;
    const bool second = m_secondOption.checked != 0;
    switch (mode) {
    case RunMode::Install:
        switch (m_page) {
        case 0:
            ShowPage(mode, 2);
            break;
        case 1:
            if (first && m_firstOption.isVisible() && CheckForUpgrade())
                Close(true);
            else
                ShowPage(mode, 2);
            break;
        case 2:
            if (m_procedures.CheckRunningProgram())
                m_procedures.Install();
            break;
        case 3:
            ShowPage(mode, 4);
            break;
        case 4:
            CreateShortcutsAndShow(5);
            break;
        case 5:
            m_procedures.FinishActions(first, second);
            break;
        }
        break;
    case RunMode::Upgrade:
    case RunMode::Repair:
        switch (m_page) {
        case 0:
            if (m_procedures.CheckRunningProgram()) {
                if (mode == RunMode::Upgrade)
                    m_procedures.Upgrade();
                else
                    m_procedures.Repair();
            }
            break;
        case 1:
            ShowPage(mode, 2);
            break;
        case 2:
            CreateShortcutsAndShow(3);
            break;
        case 3:
            m_procedures.FinishActions(first, second);
            break;
        }
        break;
    case RunMode::Uninstall:
    case RunMode::DoUninstall:
        switch (m_page) {
        case 0:
            if (first)
                RepairFromRemoval();
            else
                m_procedures.HandOverRemoval();
            break;
        case 1:
            m_procedures.Remove();
            break;
        case 2:
            ShowPage(mode, 3);
            break;
        case 3:
            if (second)
                m_procedures.RemoveUserData();
            else
                Close(true);
            break;
        case 4:
            ShowPage(mode, 5);
            break;
        case 5:
            Close(true);
            break;
        }
        break;
    }
}

void CNorvexSetupDlg::RepairFromRemoval()
{
    // The removal stages carry no package, so a repair would fail at its
    // first file; the user is told where a repair comes from instead.
    if (m_engine->Package.IsEmpty()) {
        m_messageBox.Show(RepairNeedsInstallerText(GetSystemLanguageId()), QString(),
                          MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    m_engine->Mode = RunMode::Repair;
    ShowPage(RunMode::Repair, 0);
}

void CNorvexSetupDlg::OnSecondary()
{
    const RunMode mode = m_engine->Mode;
    switch (mode) {
    case RunMode::Install:
        switch (m_page) {
        case 0:
            Close(false);
            break;
        case 1:
            ShowPage(mode, 0);
            break;
        case 2:
            ShowPage(mode, 1);
            break;
        case 3:
            ConfirmCancel();
            break;
        }
        break;
    case RunMode::Upgrade:
    case RunMode::Repair:
        if (m_page == 0)
            Close(false);
        else if (m_page == 1)
            ConfirmCancel();
        break;
    case RunMode::Uninstall:
    case RunMode::DoUninstall:
        // The removal cannot be stopped half-way: the window stays until it ends.
        if (m_page == 2 && m_procedureRunning)
            break;
        if (m_page <= 2)
            Close(false);
        break;
    }
}

void CNorvexSetupDlg::ConfirmCancel()
{
    const MessageAnswer answer =
        m_messageBox.Show(GetTextString(1103), QString(), MessageIcon::Question, MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes)
        SetCancelFlag(true);
}

void CNorvexSetupDlg::OnOptionBox(int id)
{
    const RunMode mode = m_engine->Mode;
    if (mode == RunMode::Install && m_page == 0 && id == IdSecondOption) {
        m_primary.setEnabled(m_secondOption.checked != 0);
        return;
    }
    if (!IsRemoval(mode))
        return;
    if (m_page == 0) {
        // The two boxes are one choice: repair or remove.
        CONTROL::CCheckButtonST& clicked = id == IdFirstOption ? m_firstOption : m_secondOption;
        CONTROL::CCheckButtonST& other = id == IdFirstOption ? m_secondOption : m_firstOption;
        other.SetCheck(clicked.checked ? 0 : 1);
        SetStatic(m_overallLine, GetTextString(m_firstOption.checked ? 1502 : 1602));
        update();
    } else if (m_page == 3 && id == IdSecondOption) {
        LayoutButtons(GetTextString(m_secondOption.checked ? 1201 : 1202), std::nullopt);
        update();
    }
}

void CNorvexSetupDlg::OnBrowse()
{
    const QString chosen = PickFolder(m_engine->InstallFolder);
    if (chosen.isEmpty())
        return;
    QString folder = QDir::cleanPath(QDir::fromNativeSeparators(chosen));
    if (!folder.endsWith(u'/'))
        folder += u'/';
    m_engine->InstallFolder = folder;
    m_folder.setText(folder);
}

bool CNorvexSetupDlg::CheckForUpgrade()
{
    CDownloadProgressDialog progress(this);
    return m_upgradeCheck.CheckForUpgrade(&progress);
}

bool CNorvexSetupDlg::NeedCompanionEditor()
{
    return m_companion.NeedCompanionEditor();
}

void CNorvexSetupDlg::InstallCompanionEditor(bool agreed)
{
    m_companion.InstallCompanionEditor(agreed);
}

QString CNorvexSetupDlg::PickFolder(const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(this, GetTextString(1323), startFolder,
                                             QFileDialog::ShowDirsOnly);
}

void CNorvexSetupDlg::OpenLink(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

QUrl CNorvexSetupDlg::LicenceUrl(quint16 languageId)
{
    const bool chinese = (languageId & 0x3FF) == kLangChinesePrimary;
    return QUrl(QStringLiteral("https://") + QLatin1String(kPublisherHost)
                + (chinese ? QStringLiteral("/about/index.aspx?sign=license")
                           : QStringLiteral("/tessaly/eula/eula.html")));
}

QUrl CNorvexSetupDlg::PrivacyUrl(quint16 languageId)
{
    const bool chinese = (languageId & 0x3FF) == kLangChinesePrimary;
    return QUrl(QStringLiteral("https://") + QLatin1String(kPublisherHost)
                + (chinese ? QStringLiteral("/about/index.aspx?sign=privacy")
                           : QStringLiteral("/tessaly/eula/eups.html")));
}

QString CNorvexSetupDlg::RepairNeedsInstallerText(quint16 languageId)
{
    if ((languageId & 0x3FF) != kLangChinesePrimary)
        return QStringLiteral(
            "The uninstaller cannot repair the product. To repair it, run the product's "
            "installer again.");
    if (languageId == kLangChineseTaiwan)
        return QStringLiteral("解除安裝程式無法修復本產品。如需修復，請重新執行本產品的安裝程式。");
    return QStringLiteral("卸载程序无法修复本产品。如需修复，请重新运行本产品的安装程序。");
}
