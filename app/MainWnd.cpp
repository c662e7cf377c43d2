#include "app/MainWnd.h"

#include "app/AppUI.h"
#include "app/AppUIApp.h"
#include "app/AppUIBlockedClose.h"
#include "app/DlgAbout.h"
#include "app/DlgHelp.h"
#include "app/ShellRules.h"
#include "base/Texts.h"
#include "config/CfgRecent.h"
#include "link/DlgCom.h"
#include "sms/SMS.h"

#include "ui_MainWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPalette>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidgetItemIterator>
#include <QUrl>

#include <algorithm>

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The tools tree's nodes of the three SMS lists.
constexpr int kListNode[SMS_LIST_COUNT] = {2, 3, 4};
// The letter of each list's caption that is its mnemonic in the SMS menu ("&Přijaté (3)",
// "O&deslané (0)", "&K odeslání (1)"), unique among the menu's items.
constexpr int kListMnemonic[SMS_LIST_COUNT] = {0, 1, 0};

// The splitter's least width for the navigator (the form's own minimum).
constexpr int kNavigatorMinWidth = 150;

QTreeWidgetItem* NodeAt(QTreeWidget* tree, int index) {
    int i = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it, ++i) {
        if (i == index)
            return *it;
    }
    return nullptr;
}

// The configuration file among dropped data: the first URL when it is a local *.cfg file,
// else empty (several files: only the first counts).
QString DroppedCfgFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return {};
    const QUrl& first = data->urls().first();
    if (!first.isLocalFile())
        return {};
    const QString path = first.toLocalFile();
    return path.endsWith(QStringLiteral(".cfg"), Qt::CaseInsensitive) ? path : QString();
}

// Smoke tests under a real display server learn which pane the window shows from the file
// that TK530_SMOKE_STATE names: a line "tab 1 pane 9 0" whenever the selection changes.
// Without the variable nothing is written.
void WriteSmokeState(int tab, const PaneRef& ref) {
    static const QString path = qEnvironmentVariable("TK530_SMOKE_STATE");
    if (path.isEmpty())
        return;
    QFile file(path);
    if (file.open(QIODevice::Append | QIODevice::Text))
        file.write(
            QStringLiteral("tab %1 pane %2 %3\n").arg(tab).arg(ref.id).arg(ref.param).toUtf8());
}

} // namespace

TFrmMain::TFrmMain(CAppUI& ui) : m_ui(ui), m_pForm(std::make_unique<Ui::TFrmMain>()) {
    m_pForm->setupUi(this);
    const CProfile& profile = m_ui.Profile();
    resize(profile.m_nWidth, profile.m_nHeight);
    // Centred on the desktop and never larger than it: a profile saved on a bigger monitor or
    // at a larger scale would put the status bar and the panes' bottom off the screen. The
    // title bar is not known before the window manager has the window; its height is guessed.
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    FitToScreen(WndFrame{0, titleBar, 0, 0}, true);
    // The three tabs stay in sight at any width the splitter allows: a caption that does not
    // fit is shortened instead of scrolling a tab out of the strip, and the navigator never
    // gets narrower than the shortened tabs (a narrower saved width comes back at that). No
    // saved width (0) is as wide as the whole captions need.
    QTabWidget* tabs = m_pForm->m_pPgCtlP1;
    tabs->setElideMode(Qt::ElideRight);
    tabs->setUsesScrollButtons(false);
    tabs->setMinimumWidth(std::max(kNavigatorMinWidth, tabs->minimumSizeHint().width()));
    const int navigator =
        profile.m_nPgCtlWidth > 0 ? profile.m_nPgCtlWidth : tabs->sizeHint().width();
    m_pForm->m_pSpltMain->setSizes({std::max(navigator, tabs->minimumWidth()), profile.m_nWidth});
    m_pForm->m_pSpltMain->setStretchFactor(1, 1);

    // The toolbar's buttons by their own names.
    const std::pair<QAction*, const char*> buttons[] = {
        {m_pForm->m_pActOnline, "m_pTlbOnline"},     {m_pForm->m_pActOffline, "m_pTlbOffline"},
        {m_pForm->m_pActCfgNew, "m_pTlbCfgNew"},     {m_pForm->m_pActCfgOpen, "m_pTlbCfgOpen"},
        {m_pForm->m_pActCfgSave, "m_pTlbCfgSave"},   {m_pForm->m_pActCfgRead, "m_pTlbCfgRead"},
        {m_pForm->m_pActCfgWrite, "m_pTlbCfgWrite"}, {m_pForm->m_pActSMSRead, "m_pTlbSMSRead"},
        {m_pForm->m_pActSMSSendAll, "m_pTlbSMSSend"}};
    for (const auto& [action, name] : buttons) {
        if (QWidget* button = m_pForm->m_pTlbMain->widgetForAction(action)) {
            button->setObjectName(QString::fromLatin1(name));
            button->setAccessibleName(action->toolTip());
        }
    }
    if (QWidget* send = m_pForm->m_pTlbMain->widgetForAction(m_pForm->m_pActSMSSendAll)) {
        if (auto* tool = qobject_cast<QToolButton*>(send))
            tool->setIcon(QIcon(QStringLiteral(":/icons/10.svg")));
    }

    m_pStbPanel0 = new QLabel(this);
    m_pStbPanel0->setObjectName(QStringLiteral("m_pStbPanel0"));
    m_pStbPanel1 = new QLabel(this);
    m_pStbPanel1->setObjectName(QStringLiteral("m_pStbPanel1"));
    m_pStbPanel1->setAlignment(Qt::AlignCenter);
    m_pStbPanel1->setFixedWidth(50);
    m_pStbWarning = new QLabel(this);
    m_pStbWarning->setObjectName(QStringLiteral("m_pStbWarning"));
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize);
    m_pStbWarning->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(iconSize, iconSize));
    m_pStbWarning->setToolTip(QStringLiteral("Jednotka neodpovídá"));
    m_pStbWarning->hide();
    // The first panel's width is set on every resize; it never keeps the window from
    // becoming narrower.
    m_pStbPanel0->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_pStbPanel0->setMinimumWidth(0);
    m_pStbPanel0->setMaximumWidth(50);
    m_pForm->m_pStbrMain->addWidget(m_pStbPanel0, 1);
    // The connection state is permanent: a hint in the first panel never hides it.
    m_pForm->m_pStbrMain->addPermanentWidget(m_pStbWarning);
    m_pForm->m_pStbrMain->addPermanentWidget(m_pStbPanel1);
    m_pMsgTimer = new QTimer(this);
    m_pMsgTimer->setSingleShot(true);
    connect(m_pMsgTimer, &QTimer::timeout, this, [this] { ClearMessage(); });

    m_pForm->m_pTrvCfg->expandAll();
    m_pForm->m_pTrvTools->expandAll();
    for (int list = 0; list < SMS_LIST_COUNT; ++list)
        UpdateListNode(list);

    // A tree without the keyboard focus draws its selected node in the inactive colours, made
    // grey here, one with it in the selection colour: whether the arrows move the tree is seen
    // at a glance.
    for (int tab = 0; tab < TAB_COUNT; ++tab) {
        QTreeWidget* tree = Tree(tab);
        QPalette pal = tree->palette();
        pal.setColor(QPalette::Inactive, QPalette::Highlight,
                     pal.color(QPalette::Active, QPalette::Mid));
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     pal.color(QPalette::Active, QPalette::Text));
        tree->setPalette(pal);
    }
    for (int tab = 0; tab < TAB_COUNT; ++tab) {
        connect(Tree(tab), &QTreeWidget::currentItemChanged, this,
                [this, tab] { TreeChanged(tab); });
    }
    connect(m_pForm->m_pPgCtlP1, &QTabWidget::currentChanged, this, [this] { m_pPgCtlP1Change(); });
    ConnectActions();

    // The recent files go between the last commands and "Konec".
    QMenu* menu = m_pForm->m_pMnuiCfg;
    QAction* before = m_pForm->m_pMniExit;
    const QList<QAction*> items = menu->actions();
    const qsizetype exit = items.indexOf(before);
    if (exit > 0 && items[exit - 1]->isSeparator())
        before = items[exit - 1];
    for (size_t i = 0; i < m_apActRecent.size(); ++i) {
        QAction* action = new QAction(this);
        action->setObjectName(QStringLiteral("m_pActCfgRecent%1").arg(i + 1));
        action->setVisible(false);
        menu->insertAction(before, action);
        connect(action, &QAction::triggered, this,
                [this, action] { m_ui.OpenCfgFile(action->data().toString().toStdString()); });
        m_apActRecent[i] = action;
    }
    m_pRecentSep = menu->insertSeparator(m_apActRecent[0]);
    m_pRecentSep->setVisible(false);
    // A file deleted while the program runs is disabled when the menu next opens.
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateRecentMenu(); });
    setAcceptDrops(true);
    // A configuration file dropped on a text field would otherwise be typed into it as its
    // address: every drop of one inside this window goes to the window.
    qApp->installEventFilter(this);

    // The close box clicked while the progress dialog blocks the window: kept for the end of
    // the operation, as a close request to the dialog itself is.
    m_pBlockedClose = std::make_unique<CBlockedCloseFilter>(*this, [this] {
        if (TFrmCom* com = m_ui.ComDialog(); com && com->isVisible())
            com->KeepCloseRequest();
    });

    // The SMS actions follow the state of the store, the link and the list pane; like an
    // action list's update handlers they are evaluated while the program idles.
    auto* idle = new QTimer(this);
    idle->setInterval(200);
    connect(idle, &QTimer::timeout, this, &TFrmMain::UpdateActions);
    idle->start();

    // Whenever the profile is written it takes the sizes the user left: the window's, the
    // trees' panel and the SMS lists' columns.
    m_ui.Profile().m_onBeforeSave = [this](CProfile& p) {
        p.m_nWidth = width();
        p.m_nHeight = height();
        if (const QList<int> sizes = m_pForm->m_pSpltMain->sizes(); !sizes.isEmpty())
            p.m_nPgCtlWidth = sizes.first();
        m_ui.PaneMng().SaveLayout();
    };
}

TFrmMain::~TFrmMain() {
    m_ui.Profile().m_onBeforeSave = nullptr;
}

void TFrmMain::ConnectActions() {
    CTK630& device = m_ui.Device();
    CTK630Cfg& cfg = device.m_Cfg;
    Ui::TFrmMain& f = *m_pForm;
    auto on = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this, handler);
    };
    on(f.m_pActCfgNew, [&cfg] { cfg.New(); });
    on(f.m_pActCfgOpen, [&cfg] { cfg.Open(); });
    on(f.m_pActCfgSave, [&cfg] { cfg.Save(false); });
    on(f.m_pActCfgSaveAs, [&cfg] { cfg.Save(true); });
    on(f.m_pActCfgRead, [&cfg] { cfg.ReadFromUnit(); });
    on(f.m_pActCfgWrite, [&cfg] { cfg.WriteToUnit(); });
    on(f.m_pActCfgCompare, [this] { m_ui.CompareWithFile(); });
    on(f.m_pActCfgCompareUnit, [this] { m_ui.CompareWithUnit(); });
    on(f.m_pActCfgCompareBackup, [this] { m_ui.ShowBackups(true); });
    on(f.m_pActCfgBackups, [this] { m_ui.ShowBackups(); });
    on(f.m_pActOnline, [this] { m_ui.GoOnline(); });
    on(f.m_pActOffline, [&device] { device.Offline(); });
    on(f.m_pActComSet, [this] { m_ui.ShowComSetDlg(); });
    on(f.m_pActReadStatus, [&device] { device.ReadStatus(); });
    on(f.m_pActTimeSync, [&device] { device.SetTime(nullptr); });
    on(f.m_pActSMSRead, [this, &device] {
        if (ISmsCommands* sms = m_ui.SmsCommands())
            sms->ReadCmd();
        else
            device.ReadSms();
    });
    auto smsCmd = [this](QAction* action, auto call) {
        connect(action, &QAction::triggered, this, [this, call] {
            if (ISmsCommands* sms = m_ui.SmsCommands())
                call(*sms);
        });
    };
    smsCmd(f.m_pActSMSOpen, [](ISmsCommands& s) { s.OpenCmd(); });
    smsCmd(f.m_pActSMSSendSel, [](ISmsCommands& s) { s.SendCmd(2); });
    smsCmd(f.m_pActSMSSaveAll, [](ISmsCommands& s) { s.ExportCmd(1); });
    smsCmd(f.m_pActSMSSaveSel, [](ISmsCommands& s) { s.ExportCmd(2); });
    smsCmd(f.m_pActSMSDelAll, [](ISmsCommands& s) { s.DeleteCmd(1); });
    smsCmd(f.m_pActSMSDelSel, [](ISmsCommands& s) { s.DeleteCmd(2); });
    on(f.m_pActSMSSendAll, [this, &device] {
        if (ISmsCommands* sms = m_ui.SmsCommands()) {
            sms->SendCmd(1);
            return;
        }
        std::vector<int32_t> all;
        for (int i = 0; i < device.m_SMS.GetCount(SMS_TOSEND); ++i)
            all.push_back(i);
        device.SendSms(all);
    });
    on(f.m_pMniExit, [this] { m_pMniExitClick(); });
    on(f.m_pMniAbout, [this] { m_pMniAboutClick(); });
    on(f.m_pActHelp, [this] { ShowHelp(); });
    // The SMS menu leads to the SMS panes as the tools tree does.
    on(f.m_pActSMSNew, [this] { ShowPane(PANE_SMSEDIT, 0); });
    on(f.m_pActSMSListReceived, [this] { ShowPane(PANE_SMSLIST, SMS_RECEIVED); });
    on(f.m_pActSMSListSent, [this] { ShowPane(PANE_SMSLIST, SMS_SENT); });
    on(f.m_pActSMSListToSend, [this] { ShowPane(PANE_SMSLIST, SMS_TOSEND); });
}

QWidget* TFrmMain::PaneArea() const {
    return m_pForm->m_pPnlPanes;
}

QTreeWidget* TFrmMain::Tree(int tab) const {
    switch (tab) {
    case TAB_CFG:
        return m_pForm->m_pTrvCfg;
    case TAB_STATE:
        return m_pForm->m_pTrvState;
    case TAB_TOOLS:
        return m_pForm->m_pTrvTools;
    default:
        return nullptr;
    }
}

QLabel* TFrmMain::StatusPanel(int index) const {
    return index == 0 ? m_pStbPanel0 : index == 1 ? m_pStbPanel1 : nullptr;
}

int TFrmMain::NodeIndex(const QTreeWidget* tree, const QTreeWidgetItem* item) {
    if (!tree || !item)
        return -1;
    int i = 0;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it, ++i) {
        if (*it == item)
            return i;
    }
    return -1;
}

void TFrmMain::SetOnline(bool online) {
    m_pForm->m_pActOnline->setEnabled(!online);
    m_pForm->m_pActOffline->setEnabled(online);
    m_pStbWarning->hide();
    m_pStbPanel1->setFixedWidth(50);
    m_pStbPanel1->setText(Q(GetText(online ? TXT_ONLINE : TXT_OFFLINE)));
    UpdateActions();
}

void TFrmMain::SetAnswering(bool answering) {
    if (answering) {
        SetOnline(true);
        return;
    }
    const QString text = QStringLiteral("bez odezvy");
    m_pStbPanel1->setFixedWidth(
        std::max(50, m_pStbPanel1->fontMetrics().horizontalAdvance(text) + 10));
    m_pStbPanel1->setText(text);
    m_pStbWarning->show();
}

void TFrmMain::ShowMessage(const QString& text, int timeoutMs) {
    m_pStbPanel0->setText(text);
    m_pStbPanel0->setToolTip(text); // a long message is read whole in its tooltip
    if (timeoutMs > 0)
        m_pMsgTimer->start(timeoutMs);
    else
        m_pMsgTimer->stop();
}

void TFrmMain::ClearMessage(const QString& text) {
    if (!text.isEmpty() && m_pStbPanel0->text() != text)
        return;
    m_pMsgTimer->stop();
    m_pStbPanel0->clear();
    m_pStbPanel0->setToolTip(QString());
}

void TFrmMain::SetReceivedUnseen(bool unseen) {
    if (QTreeWidgetItem* node = NodeAt(m_pForm->m_pTrvTools, kListNode[SMS_RECEIVED])) {
        QFont font = node->font(0);
        font.setBold(unseen);
        node->setFont(0, font);
    }
}

bool TFrmMain::ReceivedUnseen() const {
    const QTreeWidgetItem* node = NodeAt(m_pForm->m_pTrvTools, kListNode[SMS_RECEIVED]);
    return node && node->font(0).bold();
}

void TFrmMain::UpdateListNode(int list) {
    if (list < 0 || list >= SMS_LIST_COUNT)
        return;
    const QString caption = QString::fromStdString(m_ui.Device().m_SMS.ListNodeCaption(list));
    if (QTreeWidgetItem* node = NodeAt(m_pForm->m_pTrvTools, kListNode[list]))
        node->setText(0, caption);
    // The SMS menu's item of the list says the same.
    QAction* const items[SMS_LIST_COUNT] = {
        m_pForm->m_pActSMSListReceived, m_pForm->m_pActSMSListSent, m_pForm->m_pActSMSListToSend};
    QString text = caption;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    text.insert(kListMnemonic[list], QLatin1Char('&'));
    items[list]->setText(text);
}

void TFrmMain::SelectFirstNodes() {
    for (int tab = 0; tab < TAB_COUNT; ++tab) {
        QTreeWidget* tree = Tree(tab);
        tree->setCurrentItem(tree->topLevelItem(0));
    }
}

void TFrmMain::TreeChanged(int tab) {
    // A tree whose tab is not the active one changes nothing (the program may move it).
    if (m_pForm->m_pPgCtlP1->currentIndex() == tab)
        SelectNodeOf(tab);
}

void TFrmMain::m_pPgCtlP1Change() {
    SelectNodeOf(m_pForm->m_pPgCtlP1->currentIndex());
}

void TFrmMain::SelectNodeOf(int tab) {
    QTreeWidget* tree = Tree(tab);
    if (!tree)
        return;
    const PaneRef ref = PaneMap(tab, NodeIndex(tree, tree->currentItem()));
    m_ui.PaneMng().Select(ref.id, ref.param);
    WriteSmokeState(tab, ref);
    if (ref.id == PANE_SMSLIST && ref.param == SMS_RECEIVED)
        SetReceivedUnseen(false); // seen now
    UpdateActions();
}

void TFrmMain::UpdateActions() {
    CTK630& device = m_ui.Device();
    CPaneMng& panes = m_ui.PaneMng();
    SmsActionInputs in;
    in.online = device.m_Com.IsOnline();
    in.sessionConnType = device.m_Com.GetConnType();
    in.profileConnType = m_ui.Profile().m_nConnType;
    in.curPane = panes.GetCur();
    if (const CPane* pane = panes.GetPane(in.curPane))
        in.curParam = pane->m_nParam;
    in.listCount = in.curPane == PANE_SMSLIST ? device.m_SMS.GetCount(in.curParam) : 0;
    ISmsCommands* commands = m_ui.SmsCommands();
    in.selCount = commands ? commands->SelectedCount() : 0;
    in.toSendCount = device.m_SMS.GetCount(SMS_TOSEND);
    const SmsActionStates s = SmsActionRules(in);
    Ui::TFrmMain& f = *m_pForm;
    // Without the SMS commands only reading and sending everything can be done.
    const bool cmds = commands != nullptr;
    f.m_pActSMSOpen->setEnabled(s.open && cmds);
    f.m_pActSMSRead->setEnabled(s.read);
    f.m_pActSMSSendAll->setEnabled(s.sendAll);
    f.m_pActSMSSendSel->setEnabled(s.sendSel && cmds);
    f.m_pActSMSSaveAll->setEnabled(s.saveAll && cmds);
    f.m_pActSMSSaveSel->setEnabled(s.saveSel && cmds);
    f.m_pActSMSDelAll->setEnabled(s.delAll && cmds);
    f.m_pActSMSDelSel->setEnabled(s.delSel && cmds);
}

void TFrmMain::ShowPane(int id, int param) {
    for (int tab = 0; tab < TAB_COUNT; ++tab) {
        QTreeWidget* tree = Tree(tab);
        for (int node = 0; tree && node < PaneMapSize(tab); ++node) {
            if (PaneMap(tab, node) == PaneRef{id, param}) {
                m_pForm->m_pPgCtlP1->setCurrentIndex(tab);
                tree->setCurrentItem(NodeAt(tree, node));
                tree->setFocus();
                return;
            }
        }
    }
}

void TFrmMain::UpdateRecentMenu() {
    const std::vector<std::string>& files = m_ui.Recent().Files();
    for (size_t i = 0; i < m_apActRecent.size(); ++i) {
        QAction* action = m_apActRecent[i];
        if (i >= files.size()) {
            action->setVisible(false);
            continue;
        }
        const QString path = QString::fromStdString(files[i]);
        QString name = path.section(QLatin1Char('/'), -1);
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
        action->setData(path);
        const bool there = CfgRecentFileExists(files[i]);
        action->setEnabled(there);
        action->setStatusTip(there ? path : QStringLiteral("%1 (soubor už neexistuje)").arg(path));
        action->setToolTip(action->statusTip());
        action->setVisible(true);
    }
    m_pRecentSep->setVisible(!files.empty());
}

void TFrmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedCfgFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFrmMain::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedCfgFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched != this &&
        (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)) {
        const auto* widget = qobject_cast<QWidget*>(watched);
        auto* drop = static_cast<QDropEvent*>(event);
        if (widget && widget->window() == this && !DroppedCfgFile(drop->mimeData()).isEmpty()) {
            if (type == QEvent::Drop)
                dropEvent(drop);
            else
                drop->acceptProposedAction();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFrmMain::dropEvent(QDropEvent* event) {
    const QString path = DroppedCfgFile(event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The save question waits until the drop has ended, so the program the file came from
    // is not held by our message box.
    QTimer::singleShot(0, this, [this, path] { m_ui.OpenCfgFile(path.toStdString()); });
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    if (m_ui.App().CanClose())
        event->accept();
    else
        event->ignore();
}

void TFrmMain::FitToScreen(const WndFrame& frame, bool centre) {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect a = screen->availableGeometry();
    const WndRect area{a.x(), a.y(), a.width(), a.height()};
    const WndRect r = centre ? CentreWindow(width(), height(), frame, area)
                             : FitWindow(WndRect{x(), y(), width(), height()}, frame, area);
    setGeometry(r.x, r.y, r.width, r.height);
}

void TFrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Once the window manager has framed the window, the real frame is known: fitted again
    // with it, the window stays where it is unless some of it would be off the screen.
    if (m_bFitted)
        return;
    m_bFitted = true;
    QTimer::singleShot(0, this, [this] {
        const QRect outer = frameGeometry();
        const QRect inner = geometry();
        if (outer == inner)
            return;
        FitToScreen(WndFrame{inner.left() - outer.left(), inner.top() - outer.top(),
                             outer.right() - inner.right(), outer.bottom() - inner.bottom()},
                    false);
    });
}

void TFrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    m_pStbPanel0->setMaximumWidth(StatusPanelWidth(width()));
}

void TFrmMain::m_pMniExitClick() {
    // The same way out as the close box: save prompt, profile, session closed.
    close();
}

void TFrmMain::ShowHelp() {
    if (!m_pHelp)
        m_pHelp = new TFrmHelp(this);
    m_pHelp->show();
    m_pHelp->raise();
    m_pHelp->activateWindow();
}

TFrmHelp* TFrmMain::HelpWindow() const {
    return m_pHelp;
}

void TFrmMain::m_pMniAboutClick() {
    TFrmAbout about(this);
    about.exec();
}
