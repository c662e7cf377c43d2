// The main window: the navigation trees on the left, the pane area on the right, the menus,
// the toolbar and the status bar. Every action only forwards to the configuration, the device
// or the user-interface object; the SMS actions are enabled by the rules of app/ShellRules.h.
#pragma once

#include <QMainWindow>

#include <array>
#include <memory>

class CAppUI;
class CBlockedCloseFilter;
struct WndFrame;
class QAction;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QTimer;
class TFrmHelp;
class QTreeWidget;
class QTreeWidgetItem;
namespace Ui {
class TFrmMain;
}

class TFrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFrmMain(CAppUI& ui);
    ~TFrmMain() override;

    // Where the pane frames live.
    QWidget* PaneArea() const;
    // The online/offline state: actions and the second status panel.
    void SetOnline(bool online);
    // While online: "bez odezvy" with a warning sign while the unit does not answer, "online"
    // again when it does.
    void SetAnswering(bool answering);
    // A message in the first status panel for `timeoutMs` (0: until the next message or
    // ClearMessage). Hints of menus and buttons show over it for a moment and leave it.
    void ShowMessage(const QString& text, int timeoutMs);
    // Clears the message, or only the message `text` when given.
    void ClearMessage(const QString& text = {});
    // The "Přijaté" node in bold while messages fetched by the keepalive were not yet seen.
    void SetReceivedUnseen(bool unseen);
    bool ReceivedUnseen() const;
    // Caption of an SMS list node ("Přijaté (3)").
    void UpdateListNode(int list);
    // Selects the first node of every tree (the start of the program).
    void SelectFirstNodes();
    // Applies the SMS actions' enabling rules now (they also run while the program idles).
    void UpdateActions();

    QTreeWidget* Tree(int tab) const;
    // The absolute index of a node in its tree (display order, children counted), -1 for none.
    static int NodeIndex(const QTreeWidget* tree, const QTreeWidgetItem* item);
    QLabel* StatusPanel(int index) const;

    // Shows a pane as its tree node does (the node selected, its tab active).
    void ShowPane(int id, int param);
    // The user's guide (F1, "Nápověda › Příručka"): one window, made at first use, brought
    // to the front when already open.
    void ShowHelp();
    TFrmHelp* HelpWindow() const;
    // The recent files at the end of the configuration menu ("&1 a.cfg"), from the list of
    // the user-interface object; a file that is no longer there is shown disabled.
    void UpdateRecentMenu();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // A configuration file dropped on the window opens as the open command does (only the
    // first of several files; anything but a *.cfg file is refused).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TreeChanged(int tab);
    void m_pPgCtlP1Change();
    void SelectNodeOf(int tab);
    void m_pMniExitClick();
    void m_pMniAboutClick();
    void ConnectActions();
    // Reduces and moves the window onto its screen's available area (centred when `centre`).
    void FitToScreen(const WndFrame& frame, bool centre);

    CAppUI& m_ui;
    std::unique_ptr<Ui::TFrmMain> m_pForm;
    QLabel* m_pStbPanel0;
    QLabel* m_pStbPanel1;
    QLabel* m_pStbWarning; // the sign before "bez odezvy"
    QTimer* m_pMsgTimer;
    QAction* m_pRecentSep = nullptr;
    std::array<QAction*, 6> m_apActRecent{};
    TFrmHelp* m_pHelp = nullptr; // child window, made at first use
    std::unique_ptr<CBlockedCloseFilter> m_pBlockedClose;
    bool m_bFitted = false; // fitted again with the window manager's frame
};
