// The window side of the wizard: template geometry, opening, look, dragging,
// the two layout routines and the view the procedures report to. The pages
// and commands are in WizardPages.cpp.
#include "wizard/NorvexSetupDlg.h"

#include "app/NorvexSetupApp.h"
#include "common/MessageTable.h"
#include "common/PumpMessages.h"
#include "common/TextFormat.h"
#include "engine/InstallEngine.h"
#include "wizard/DialogTemplate.h"

#include <QApplication>
#include <QBackingStore>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWindow>

namespace {

constexpr QRgb kBackground = 0x202020;

void PlaceFromTemplate(QWidget& control, int id, const char* role)
{
    control.setGeometry(WIZARD::TemplateRect(id));
    control.setObjectName(QString::fromLatin1(role) + u'_' + QString::number(id));
    const WIZARD::DialogItem* item = WIZARD::TemplateItem(id);
    if (auto* button = qobject_cast<QAbstractButton*>(&control)) {
        button->setText(QString::fromUtf16(item->text));
        button->setShortcut(QKeySequence());
    }
}

}  // namespace

CNorvexSetupDlg::CNorvexSetupDlg(CInstallEngine& engine, CNorvexSetupApp* app, CMessageBox* messageBox)
    : CNorvexSetupDlg(engine, app, messageBox, Opening::Now)
{
}

CNorvexSetupDlg::CNorvexSetupDlg(CInstallEngine& engine, CNorvexSetupApp* app, CMessageBox* messageBox,
                                 Opening opening)
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint),
      m_engine(&engine),
      m_icon(ProgramIcon()),
      m_primary(this),
      m_secondary(this),
      m_close(this),
      m_browse(this),
      m_firstOption(this),
      m_secondOption(this),
      m_stepBar(this),
      m_overallBar(this),
      m_licenceLink(this),
      m_privacyLink(this),
      m_conjunction(this),
      m_folder(this),
      m_textColour(227, 227, 227),
      m_title(this),
      m_description(this),
      m_stepLine(this),
      m_overallLine(this),
      m_app(app),
      m_ownMessageBox(this, CWidgetMessageBox::ApplicationNameOf(engine.ModulePath)),
      m_messageBox(messageBox ? *messageBox : m_ownMessageBox),
      m_procedures(engine, *this, m_messageBox),
      m_upgradeCheck(engine.Manifest, m_messageBox, *this),
      m_companion(engine, m_messageBox, *this)
{
    m_stepBar.range = 100;
    m_stepBar.position = 0;
    m_overallBar.range = 100;
    m_overallBar.position = 0;
    CreateControls();
    InitWindow();

    // A cancel signal while a procedure runs stops it at its next chunk; on
    // a page that waits for the user it closes the wizard with the cancel
    // result. A box the user has open is answered first. Watched from Open()
    // on: a window not yet opened has nothing to close.
    connect(&m_signalWatch, &QTimer::timeout, this, [this] {
        if (!CancelSignalCame() || m_procedureRunning)
            return;
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this)
            return;
        m_signalWatch.stop();
        Close(false);
    });
    if (opening == Opening::Now)
        Open();
}

CNorvexSetupDlg::~CNorvexSetupDlg()
{
    while (m_waitCursors > 0)
        EndWaitCursor();
    if (m_app)
        m_app->SetShowRequestHandler({});
}

void CNorvexSetupDlg::CreateControls()
{
    setFixedSize(WIZARD::TemplateWindowSize());
    setObjectName(QStringLiteral("NorvexSetupDlg_102"));

    // Template order is also the tab order.
    PlaceFromTemplate(m_title, IdTitle, "titleLine");
    PlaceFromTemplate(m_description, IdDescription, "description");
    PlaceFromTemplate(m_stepLine, IdStepLine, "stepLine");
    PlaceFromTemplate(m_stepBar, IdStepBar, "stepBar");
    PlaceFromTemplate(m_firstOption, IdFirstOption, "firstOption");
    PlaceFromTemplate(m_overallLine, IdOverallLine, "overallLine");
    PlaceFromTemplate(m_overallBar, IdOverallBar, "overallBar");
    PlaceFromTemplate(m_secondOption, IdSecondOption, "secondOption");
    PlaceFromTemplate(m_primary, IdPrimary, "primaryButton");
    PlaceFromTemplate(m_secondary, IdSecondary, "secondaryButton");
    PlaceFromTemplate(m_close, IdClose, "closeButton");
    PlaceFromTemplate(m_licenceLink, IdLicenceLink, "licenceLink");
    PlaceFromTemplate(m_privacyLink, IdPrivacyLink, "privacyLink");
    PlaceFromTemplate(m_conjunction, IdConjunction, "conjunctionLabel");
    PlaceFromTemplate(m_folder, IdFolder, "folderBox");
    PlaceFromTemplate(m_browse, IdBrowse, "browseButton");

    for (QLabel* label : {&m_title, &m_description, &m_stepLine, &m_overallLine}) {
        // Plain text: a product title with "&" or "<" shows as it is written.
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    // Progress bars and labels take no focus; they are not tab stops.
    for (QWidget* w : std::initializer_list<QWidget*>{&m_stepBar, &m_overallBar, &m_conjunction})
        w->setFocusPolicy(Qt::NoFocus);
    // Nothing typed into the folder box would be read back: the folder is
    // chosen with the browse button only.
    m_folder.setReadOnly(true);

    const std::pair<CONTROL::CButtonST*, int> commands[] = {
        {&m_primary, IdPrimary},         {&m_secondary, IdSecondary},     {&m_close, IdClose},
        {&m_browse, IdBrowse},           {&m_firstOption, IdFirstOption}, {&m_secondOption, IdSecondOption},
        {&m_licenceLink, IdLicenceLink}, {&m_privacyLink, IdPrivacyLink},
    };
    for (const auto& [button, id] : commands) {
        const int command = id;
        connect(button, &QAbstractButton::clicked, this, [this, command] { OnCommand(command); });
    }
}

void CNorvexSetupDlg::InitWindow()
{
    // 1. The icon, big and small alike.
    setWindowIcon(m_icon);

    // 2. (The single-instance mark comes with Open(): a window not yet
    // opened must not be brought forward.)

    // 3. Fonts.
    const Fonts fonts = DialogFonts(GetSystemLanguageId());
    m_titleFont = fonts.title;
    m_bodyFont = fonts.body;
    m_closeFont = fonts.close;

    // 4. and 5. Text colour and the skinned controls; the measuring font of
    // the captions that are fitted to their text.
    for (CONTROL::CButtonST* control : std::initializer_list<CONTROL::CButtonST*>{
             &m_firstOption, &m_secondOption, &m_licenceLink, &m_privacyLink, &m_conjunction})
        control->captionFont = &m_bodyFont;
    // The close button shows a border only while hovered or pressed.
    m_close.normalBorder = m_close.normalBackground.Get();

    // 6. The gap between the push buttons as the template places them.
    m_buttonGap = m_secondary.x() - (m_primary.x() + m_primary.width());

    // 7. Fonts to the children.
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->setFont(m_bodyFont);
    m_title.setFont(m_titleFont);
    m_close.setFont(m_closeFont);

    ApplyLook();
}

void CNorvexSetupDlg::PrepareNativeWindow()
{
    winId();
    // The arrow is read from the cursor theme the first time it is set.
    setCursor(Qt::ArrowCursor);
    unsetCursor();
    // On X11 the surface is a shared-memory segment the server makes for us,
    // and its pages are first touched by the first paint. The background
    // painted into it now shows nowhere: nothing is flushed before the window
    // is shown and painted whole.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    QBackingStore* store = backingStore();
    if (!store)
        return;
    const QRect whole(QPoint(), size());
    store->resize(whole.size());
    store->beginPaint(whole);
    if (QPaintDevice* device = store->paintDevice()) {
        QPainter painter(device);
        painter.fillRect(whole, palette().color(QPalette::Window));
    }
    store->endPaint();
}

void CNorvexSetupDlg::Open()
{
    m_signalWatch.start(kSignalWatchMs);

    // 2. The single-instance mark: a later instance brings this window forward.
    if (m_app) {
        m_app->SetShowRequestHandler([this] {
            showNormal();
            raise();
            activateWindow();
        });
    }

    // 8. Title line and window caption.
    const QString product = m_engine->Manifest.version.prog;
    m_title.setText(product);
    FitTitle();
    setWindowTitle(product + GetTextString(1003));

    // 9. The first page of the run mode.
    ShowPage(m_engine->Mode, FirstPage(m_engine->Mode));
}

void CNorvexSetupDlg::ApplyLook()
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kBackground));
    palette.setColor(QPalette::Base, QColor::fromRgb(kBackground));
    palette.setColor(QPalette::WindowText, m_textColour);
    palette.setColor(QPalette::Text, m_textColour);
    palette.setColor(QPalette::Highlight, QColor(51, 153, 255));
    setPalette(palette);
    setAutoFillBackground(true);
    for (QLabel* label : {&m_title, &m_description, &m_stepLine, &m_overallLine}) {
        label->setPalette(palette);
        label->setAutoFillBackground(false);
    }
    m_folder.setPalette(palette);
}

void CNorvexSetupDlg::FitTitle()
{
    // A title too long for one line at the title size is set a little smaller
    // to stay on one line, and wraps only when even that is not enough; it is
    // never cut off at the bottom of its box.
    constexpr int kSmallestOneLine = 26;
    QFont font = m_titleFont;
    const QString title = m_title.text();
    while (font.pixelSize() > kSmallestOneLine
           && QFontMetrics(font).horizontalAdvance(title) > m_title.width())
        font.setPixelSize(font.pixelSize() - 1);
    const QRect box(0, 0, m_title.width(), 100000);
    while (font.pixelSize() > m_bodyFont.pixelSize()
           && QFontMetrics(font).boundingRect(box, Qt::TextWordWrap, title).height() > m_title.height())
        font.setPixelSize(font.pixelSize() - 1);
    m_title.setFont(font);
}

QStringList CNorvexSetupDlg::FaceFamilies(quint16 languageId)
{
    if (!IsChineseLanguage(languageId))
        return {};
    // "微软雅黑" where it is installed; otherwise the Noto CJK face of the
    // script the language writes in.
    const bool traditional = languageId == 0x0404 || languageId == 0x0C04 || languageId == 0x1404;
    return {QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
            traditional ? QStringLiteral("Noto Sans CJK TC") : QStringLiteral("Noto Sans CJK SC")};
}

CNorvexSetupDlg::Fonts CNorvexSetupDlg::DialogFonts(quint16 languageId)
{
    const QStringList families = FaceFamilies(languageId);
    Fonts fonts;
    for (QFont* font : {&fonts.title, &fonts.body, &fonts.close}) {
        if (!families.isEmpty())
            font->setFamilies(families);
    }
    fonts.title.setPixelSize(36);
    fonts.title.setWeight(QFont::Normal);
    fonts.body.setPixelSize(16);
    fonts.body.setWeight(QFont::Normal);
    fonts.close.setPixelSize(16);
    fonts.close.setWeight(QFont::Bold);
    return fonts;
}

void CNorvexSetupDlg::PrepareFonts()
{
    const Fonts fonts = DialogFonts(GetSystemLanguageId());
    // Texts every page shows: the faces they need are found and opened now.
    QString sample = GetTextString(1005) + GetTextString(1003) + GetTextString(1201);
    sample += QStringLiteral("0123456789%/.:-");
    for (char16_t c = u'A'; c <= u'Z'; ++c) {
        sample += QChar(c);
        sample += QChar(char16_t(c + 32));
    }
    for (const QFont* font : {&fonts.title, &fonts.body, &fonts.close})
        (void)QFontMetrics(*font).boundingRect(sample);
}

QIcon CNorvexSetupDlg::ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal r = size / 6.0;
        QPainterPath square;
        square.addRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), r, r);
        painter.fillPath(square, QColor::fromRgb(kBackground));
        painter.setPen(QPen(QColor(51, 153, 255), qMax(1.0, size / 16.0)));
        painter.drawPath(square);
        // An arrow into a tray: something being put in place.
        const qreal s = size;
        QPainterPath arrow;
        arrow.moveTo(s * 0.5, s * 0.18);
        arrow.lineTo(s * 0.5, s * 0.62);
        arrow.moveTo(s * 0.32, s * 0.45);
        arrow.lineTo(s * 0.5, s * 0.63);
        arrow.lineTo(s * 0.68, s * 0.45);
        arrow.moveTo(s * 0.22, s * 0.66);
        arrow.lineTo(s * 0.22, s * 0.80);
        arrow.lineTo(s * 0.78, s * 0.80);
        arrow.lineTo(s * 0.78, s * 0.66);
        painter.setPen(
            QPen(QColor(227, 227, 227), qMax(1.5, s / 12.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(arrow);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void CNorvexSetupDlg::LayoutButtons(const std::optional<QString>& primary,
                                    const std::optional<QString>& secondary)
{
    const int width = this->width();
    const int w1 = m_primary.width();
    const int w2 = m_secondary.width();
    if (primary && secondary) {
        const int x = (width - m_buttonGap - w1 - w2) / 2;
        m_primary.SetText(*primary, false);
        m_secondary.SetText(*secondary, false);
        m_primary.move(x, m_primary.y());
        m_secondary.move(x + w1 + m_buttonGap, m_secondary.y());
        m_primary.show();
        m_secondary.show();
    } else if (primary) {
        m_primary.SetText(*primary, false);
        m_primary.move((width - w1) / 2, m_primary.y());
        m_primary.show();
        m_secondary.hide();
    } else if (secondary) {
        m_secondary.SetText(*secondary, false);
        m_secondary.move((width - w2) / 2, m_secondary.y());
        m_secondary.show();
        m_primary.hide();
    } else {
        m_primary.hide();
        m_secondary.hide();
    }
}

void CNorvexSetupDlg::LayoutLicenceLine(const QString& productTitle)
{
    const QStringList lines = GetTextString(1303).split(u'\n');
    auto line = [&](int i) { return i < lines.size() ? lines[i] : QString(); };
    m_secondOption.SetText(FormatText(line(0), {productTitle}), true);
    m_licenceLink.SetText(line(1), true);
    m_conjunction.SetText(line(2), true);
    m_privacyLink.SetText(line(3), true);

    const QRect r0 = m_secondOption.geometry();
    int x = r0.x() + r0.width();
    for (QWidget* control : std::initializer_list<QWidget*>{&m_licenceLink, &m_conjunction, &m_privacyLink}) {
        control->move(x, r0.y() + (r0.height() - control->height()) / 2);
        x += control->width();
    }
}

void CNorvexSetupDlg::SetStatusText(StatusLine line, const QString& text)
{
    SetStatic(line == StatusLine::Step ? m_stepLine : m_overallLine, text);
}

void CNorvexSetupDlg::SetStatic(QLabel& label, const QString& text)
{
    label.setText(text);
    label.setVisible(!text.isEmpty());
}

void CNorvexSetupDlg::SetStepBar(int position)
{
    m_stepBar.position = position;
    m_stepBar.repaint();
}

void CNorvexSetupDlg::SetOverallBar(int position)
{
    m_overallBar.position = position;
    m_overallBar.repaint();
}

void CNorvexSetupDlg::EnableCancelButtons(bool enable)
{
    m_procedureRunning = !enable;
    m_secondary.setEnabled(enable);
    m_close.setEnabled(enable);
}

void CNorvexSetupDlg::Repaint()
{
    repaint();
}

void CNorvexSetupDlg::Close(bool ok)
{
    done(ok ? QDialog::Accepted : QDialog::Rejected);
}

void CNorvexSetupDlg::BeginWaitCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_waitCursors;
}

void CNorvexSetupDlg::RestoreWaitCursor()
{
    // Whatever a window shown meanwhile left on top becomes the wait cursor again.
    if (m_waitCursors > 0)
        QGuiApplication::changeOverrideCursor(Qt::WaitCursor);
}

void CNorvexSetupDlg::EndWaitCursor()
{
    if (m_waitCursors == 0)
        return;
    QGuiApplication::restoreOverrideCursor();
    --m_waitCursors;
}

void CNorvexSetupDlg::CloseWizard()
{
    // As a finished run ends: the newer installer has taken over.
    Close(true);
}

void CNorvexSetupDlg::HideWizard()
{
    // Hiding a dialog ends its exec() loop; the finish action that hides it
    // closes the wizard with its own result right after.
    hide();
}

void CNorvexSetupDlg::ShowWizard()
{
    show();
    raise();
    activateWindow();
}

void CNorvexSetupDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // The dialog's cancel command, also while a procedure pumps messages.
        OnCommand(IdSecondary);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The dialog's OK command, as long as the primary button could be pressed.
        if (m_primary.isVisible() && m_primary.isEnabled())
            OnCommand(IdPrimary);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CNorvexSetupDlg::reject()
{
    OnCommand(IdSecondary);
}

void CNorvexSetupDlg::closeEvent(QCloseEvent* event)
{
    // A close request from the window system is the cancel command; the
    // wizard itself decides whether to close.
    event->ignore();
    OnCommand(IdSecondary);
}

void CNorvexSetupDlg::mousePressEvent(QMouseEvent* event)
{
    // Presses that reach the dialog are on no control: they move the window.
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    if (windowHandle() && windowHandle()->startSystemMove()) {
        m_dragOffset.reset();
        return;
    }
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CNorvexSetupDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragOffset && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - *m_dragOffset);
}

void CNorvexSetupDlg::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragOffset.reset();
    QDialog::mouseReleaseEvent(event);
}
