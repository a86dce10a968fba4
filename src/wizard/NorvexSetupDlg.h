// The wizard: the installer's one window, a fixed-size, frameless dark dialog
// built from template 102. It is the work procedures' view: each page is a set
// of texts, visible controls, check states and button captions put on the
// same sixteen controls, and the two push buttons step through the pages of
// the run mode, running the procedures on the user-interface thread. It is
// also the window the online upgrade check and the companion editor's
// installation act on.
#pragma once

#include "app/PageTable.h"
#include "app/ProcedureView.h"
#include "app/WorkProcedures.h"
#include "engine/RunMode.h"
#include "update/CompanionEditor.h"
#include "update/UpgradeCheck.h"
#include "update/WizardWindow.h"
#include "wizard/WidgetMessageBox.h"
#include "wizard/controls/ButtonST.h"
#include "wizard/controls/CheckButtonST.h"
#include "wizard/controls/FloatEdit.h"
#include "wizard/controls/LinkButtonST.h"
#include "wizard/controls/ProGressButtonST.h"
#include "wizard/controls/TextButtonST.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QPoint>
#include <QTimer>
#include <QUrl>

#include <optional>

class CInstallEngine;
class CNorvexSetupApp;

class CNorvexSetupDlg : public QDialog, public CProcedureView, public CWizardWindow {
    Q_OBJECT
public:
    // Control ids of the template.
    enum ControlId {
        IdPrimary = 1,
        IdSecondary = 2,
        IdStepBar = 1000,
        IdOverallBar = 1001,
        IdDescription = 1002,
        IdStepLine = 1003,
        IdOverallLine = 1004,
        IdTitle = 1005,
        IdClose = 1006,
        IdFirstOption = 1009,
        IdSecondOption = 1010,
        IdLicenceLink = 1011,
        IdPrivacyLink = 1012,
        IdConjunction = 1013,
        IdFolder = 1017,
        IdBrowse = 1018,
    };

    // The publisher's web site, for the licence and privacy links.
    static constexpr const char* kPublisherHost = "www.tessaly.com";

    // engine must outlive the dialog. app, when given, is asked to bring this
    // window forward when a later instance starts. messageBox, when given,
    // takes the wizard's messages instead of its own boxes.
    explicit CNorvexSetupDlg(CInstallEngine& engine, CNorvexSetupApp* app = nullptr,
                             CMessageBox* messageBox = nullptr);
    // Later: the window is built (controls, fonts, look) but shows nothing of
    // the manifest or the run mode until Open(), so that it can be built
    // while start-up still checks the package.
    enum class Opening { Now, Later };
    CNorvexSetupDlg(CInstallEngine& engine, CNorvexSetupApp* app, CMessageBox* messageBox, Opening opening);
    // The opening steps that need what start-up read: the single-instance
    // mark, the title line and caption, and the run mode's first page.
    void Open();
    // Makes what showing the window would otherwise wait for: the window
    // system's window, its cursor and the surface it is painted into. Meant
    // for the time the package check takes.
    void PrepareNativeWindow();
    ~CNorvexSetupDlg() override;

    // CProcedureView
    void ShowPage(RunMode mode, WizardPage page) override;
    void SetStatusText(StatusLine line, const QString& text) override;
    void SetStepBar(int position) override;
    void SetOverallBar(int position) override;
    void EnableCancelButtons(bool enable) override;
    void Repaint() override;
    void Close(bool ok) override;
    bool NeedCompanionEditor() override;
    void InstallCompanionEditor(bool agreed) override;

    // CWizardWindow
    void BeginWaitCursor() override;
    void RestoreWaitCursor() override;
    void EndWaitCursor() override;
    void CloseWizard() override;
    void HideWizard() override;
    void ShowWizard() override;

    // Places the push buttons for the captions given; an absent caption hides
    // its button.
    void LayoutButtons(const std::optional<QString>& primary, const std::optional<QString>& secondary);
    // The licence page: the licence box, the two links and the word between them
    // on one line, fitted to their texts.
    void LayoutLicenceLine(const QString& productTitle);

    // The commands of the controls, as the buttons and keys send them.
    void OnCommand(int id);

    // The three fonts' families for a system language: the Chinese face, or
    // empty for the platform's default.
    static QStringList FaceFamilies(quint16 languageId);
    // The addresses the links open for a system language.
    static QUrl LicenceUrl(quint16 languageId);
    static QUrl PrivacyUrl(quint16 languageId);
    // The wizard's text for a repair asked for on the removal pages, where
    // there is no package to repair from.
    static QString RepairNeedsInstallerText(quint16 languageId);
    // The program's icon, drawn rather than loaded.
    static QIcon ProgramIcon();
    // The title, body and close-button fonts for a system language.
    struct Fonts {
        QFont title;
        QFont body;
        QFont close;
    };
    static Fonts DialogFonts(quint16 languageId);
    // Finds and opens the faces of the three fonts and lays out the
    // language's texts with them, so that the window opens without waiting
    // for that. Meant for the time the package check takes, before the
    // window is made.
    static void PrepareFonts();

    WizardPage Page() const { return m_page; }
    const QFont& TitleFont() const { return m_titleFont; }
    const QFont& BodyFont() const { return m_bodyFont; }
    const QFont& CloseFont() const { return m_closeFont; }
    int ButtonGap() const { return m_buttonGap; }
    CWorkProcedures& Procedures() { return m_procedures; }
    // The wizard's own message box (also when another one takes the messages).
    CWidgetMessageBox& WidgetMessageBox() { return m_ownMessageBox; }
    // The online check and the companion editor behind the two hooks, so
    // tests can replace how they start programs.
    CUpgradeCheck& UpgradeCheck() { return m_upgradeCheck; }
    CCompanionEditor& CompanionEditor() { return m_companion; }

protected:
    // Seams for what lies outside the window; tests override them.
    // The online search for a newer installer: true when one was started and
    // the wizard must close.
    virtual bool CheckForUpgrade();
    // The folder picker: the chosen folder, or empty when cancelled.
    virtual QString PickFolder(const QString& startFolder);
    virtual void OpenLink(const QUrl& url);

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void reject() override;

private:
    void CreateControls();
    // The opening steps that need nothing of the manifest.
    void InitWindow();
    void ApplyLook();
    // Puts the row's texts, controls and captions on the window.
    void ApplyPage(RunMode mode, const PageRow& row);
    void SetOption(CONTROL::CCheckButtonST& box, int id, RunMode mode, const OptionRow& option);
    static std::optional<QString> Caption(int id);
    void SetStatic(QLabel& label, const QString& text);
    void FitTitle();

    // Runs what a push button of the current page does.
    void Dispatch(const ButtonRow& button);
    void OnOptionBox(const PageRow& row, int id);
    void OnBrowse();
    void ConfirmCancel();
    void RepairFromRemoval();

    CInstallEngine* m_engine;
    QIcon m_icon;
    CONTROL::CButtonST m_primary;
    CONTROL::CButtonST m_secondary;
    CONTROL::CButtonST m_close;
    CONTROL::CButtonST m_browse;
    CONTROL::CCheckButtonST m_firstOption;
    CONTROL::CCheckButtonST m_secondOption;
    CONTROL::CProGressButtonST m_stepBar;
    CONTROL::CProGressButtonST m_overallBar;
    CONTROL::CLinkButtonST m_licenceLink;
    CONTROL::CLinkButtonST m_privacyLink;
    CONTROL::CTextButtonST m_conjunction;
    CONTROL::CFloatEdit m_folder;
    QFont m_titleFont;
    QFont m_bodyFont;
    QFont m_closeFont;
    QColor m_textColour;
    int m_buttonGap = 0;
    WizardPage m_page = WizardPage::Licence;

    QLabel m_title;
    QLabel m_description;
    QLabel m_stepLine;
    QLabel m_overallLine;

    CNorvexSetupApp* m_app;
    CWidgetMessageBox m_ownMessageBox;
    CMessageBox& m_messageBox;
    CWorkProcedures m_procedures;
    CUpgradeCheck m_upgradeCheck;
    CCompanionEditor m_companion;
    // Wait cursors pushed by BeginWaitCursor and not yet ended.
    int m_waitCursors = 0;
    bool m_procedureRunning = false;
    // Looks for a cancel signal while the wizard waits for the user.
    QTimer m_signalWatch;
    static constexpr int kSignalWatchMs = 200;
    // Dragging by hand where the window system cannot move the window.
    std::optional<QPoint> m_dragOffset;
};
