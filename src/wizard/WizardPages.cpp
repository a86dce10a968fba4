// The wizard's pages and commands: the rows of the run mode's page table
// (app/PageTable) put on the window, and their buttons' and boxes' commands
// run; the links and the folder picker.
#include "app/PageTable.h"
#include "app/WorkProcedures.h"
#include "common/MessageTable.h"
#include "common/PumpMessages.h"
#include "engine/InstallEngine.h"
#include "wizard/DialogTemplate.h"
#include "wizard/DownloadProgressDialog.h"
#include "wizard/NorvexSetupDlg.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>

void CNorvexSetupDlg::ShowPage(RunMode mode, WizardPage page)
{
    m_page = page;
    ApplyPage(mode, PageOf(mode, page));
}

void CNorvexSetupDlg::SetOption(CONTROL::CCheckButtonST& box, int id, RunMode mode, const OptionRow& option)
{
    // The view is asked about the companion editor only where a box offers it.
    const bool companion = option.shown == OptionShown::WithCompanionEditor && NeedCompanionEditor();
    if (!OptionIsShown(option, *m_engine, companion)) {
        box.SetText(QString(), false);
        box.hide();
        return;
    }
    if (!option.fitted)
        box.resize(WIZARD::TemplateRect(id).width(), box.height());
    box.SetText(PageTextOf(option.text, mode, *m_engine), option.fitted);
    box.SetCheck(option.checked ? 1 : 0);
    box.show();
}

void CNorvexSetupDlg::ApplyPage(RunMode mode, const PageRow& row)
{
    SetOption(m_firstOption, IdFirstOption, mode, row.first);
    SetOption(m_secondOption, IdSecondOption, mode, row.second);

    for (CONTROL::CButtonST* control :
         std::initializer_list<CONTROL::CButtonST*>{&m_licenceLink, &m_privacyLink, &m_conjunction}) {
        control->SetText(QString(), false);
        control->hide();
    }
    if (row.licenceLine) {
        m_secondOption.SetCheck(0);
        LayoutLicenceLine(m_engine->Manifest.version.prog);
        m_secondOption.show();
        m_licenceLink.show();
        m_privacyLink.show();
        m_conjunction.show();
    }

    m_stepBar.position = 0;
    m_stepBar.setVisible(row.stepBar);
    m_overallBar.position = 0;
    m_overallBar.setVisible(row.overallBar);

    m_folder.setVisible(row.folder);
    m_browse.setVisible(row.folder);
    if (row.folder)
        m_folder.setText(m_engine->InstallFolder);

    QString overallLine = PageTextOf(row.overallLine, mode, *m_engine);
    if (row.spaceLine) {
        if (const QString space = SpaceNeededLine(*m_engine); !space.isEmpty())
            overallLine += u'\n' + space;
    }
    SetStatic(m_description, PageTextOf(row.description, mode, *m_engine));
    m_description.show();
    SetStatic(m_stepLine, PageTextOf(row.stepLine, mode, *m_engine));
    SetStatic(m_overallLine, overallLine);

    LayoutButtons(Caption(row.primary.caption), Caption(row.secondary.caption));
    m_primary.setEnabled(row.primaryEnabled);
    update();
}

std::optional<QString> CNorvexSetupDlg::Caption(int id)
{
    if (id == 0)
        return std::nullopt;
    return GetTextString(id);
}

void CNorvexSetupDlg::OnCommand(int id)
{
    const PageRow& row = PageOf(m_engine->Mode, m_page);
    switch (id) {
    case IdPrimary:
        Dispatch(row.primary);
        break;
    case IdSecondary:
        Dispatch(row.secondary);
        break;
    case IdClose:
        if (m_close.isEnabled())
            Close(false);
        break;
    case IdFirstOption:
    case IdSecondOption:
        OnOptionBox(row, id);
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

void CNorvexSetupDlg::Dispatch(const ButtonRow& button)
{
    const RunMode mode = m_engine->Mode;
    const bool first = m_firstOption.checked != 0;
    const bool second = m_secondOption.checked != 0;
    switch (button.command) {
    case PageCommand::None:
        break;
    case PageCommand::GoTo:
        ShowPage(mode, button.target);
        break;
    case PageCommand::Cancel:
        Close(false);
        break;
    case PageCommand::CancelWhenIdle:
        if (!m_procedureRunning)
            Close(false);
        break;
    case PageCommand::ConfirmCancel:
        ConfirmCancel();
        break;
    case PageCommand::SearchOrGoTo:
        if (first && m_firstOption.isVisible() && CheckForUpgrade())
            Close(true);
        else
            ShowPage(mode, button.target);
        break;
    case PageCommand::RunProcedure:
        if (m_procedures.CheckRunningProgram())
            m_procedures.RunProcedure(mode);
        break;
    case PageCommand::CreateShortcuts:
        m_procedures.CreateShortcuts(first, second);
        ShowPage(mode, button.target);
        break;
    case PageCommand::FinishActions:
        m_procedures.FinishActions(first, second);
        break;
    case PageCommand::RepairOrHandOver:
        if (first)
            RepairFromRemoval();
        else
            m_procedures.HandOverRemoval();
        break;
    case PageCommand::Remove:
        m_procedures.Remove();
        break;
    case PageCommand::RemoveUserDataOrEnd:
        if (second)
            m_procedures.RemoveUserData();
        else
            Close(true);
        break;
    case PageCommand::End:
        Close(true);
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
    ShowPage(RunMode::Repair, FirstPage(RunMode::Repair));
}

void CNorvexSetupDlg::ConfirmCancel()
{
    const MessageAnswer answer =
        m_messageBox.Show(GetTextString(1103), QString(), MessageIcon::Question, MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes)
        SetCancelFlag(true);
}

void CNorvexSetupDlg::OnOptionBox(const PageRow& row, int id)
{
    const OptionRow& option = id == IdFirstOption ? row.first : row.second;
    switch (option.onClick) {
    case OptionCommand::None:
        break;
    case OptionCommand::EnablesPrimary:
        m_primary.setEnabled(m_secondOption.checked != 0);
        break;
    case OptionCommand::OneOfTwo: {
        CONTROL::CCheckButtonST& clicked = id == IdFirstOption ? m_firstOption : m_secondOption;
        CONTROL::CCheckButtonST& other = id == IdFirstOption ? m_secondOption : m_firstOption;
        other.SetCheck(clicked.checked ? 0 : 1);
        SetStatic(m_overallLine, GetTextString(m_firstOption.checked ? row.whenTicked : row.whenUnticked));
        update();
        break;
    }
    case OptionCommand::PicksCaption: {
        const CONTROL::CCheckButtonST& clicked = id == IdFirstOption ? m_firstOption : m_secondOption;
        LayoutButtons(GetTextString(clicked.checked ? row.whenTicked : row.whenUnticked), std::nullopt);
        update();
        break;
    }
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
    const bool chinese = IsChineseLanguage(languageId);
    return QUrl(QStringLiteral("https://") + QLatin1String(kPublisherHost)
                + (chinese ? QStringLiteral("/about/index.aspx?sign=license")
                           : QStringLiteral("/tessaly/eula/eula.html")));
}

QUrl CNorvexSetupDlg::PrivacyUrl(quint16 languageId)
{
    const bool chinese = IsChineseLanguage(languageId);
    return QUrl(QStringLiteral("https://") + QLatin1String(kPublisherHost)
                + (chinese ? QStringLiteral("/about/index.aspx?sign=privacy")
                           : QStringLiteral("/tessaly/eula/eups.html")));
}

QString CNorvexSetupDlg::RepairNeedsInstallerText(quint16 languageId)
{
    return GetTextString(TEXT::RepairNeedsInstaller, languageId);
}
