// The right-hand side of the main window shows one pane at a time. Every pane (configuration,
// status, SMS) follows the protocol of CPane; the pane manager holds the fourteen of them,
// knows which one is shown, switches between them, reloads the ones whose data changed and
// hands every event of the link worker to all of them.
// Nothing here knows a widget: the window side derives CFramePane (app/PaneFrame.h) from
// CPane, and the manager is tested with plain panes.
#pragma once

#include <array>
#include <functional>
#include <memory>

class CTK630Cfg;
struct CComEvent;

inline constexpr int PANE_NONE = -1;
inline constexpr int PANE_CALLPARS = 0;
inline constexpr int PANE_CALLENDIRS = 1;
inline constexpr int PANE_SIM = 2;
inline constexpr int PANE_ALARM = 3;
inline constexpr int PANE_SMS = 4;
inline constexpr int PANE_TIMEPARS = 5;
inline constexpr int PANE_BASIC1 = 6;
inline constexpr int PANE_RENUM = 7;
inline constexpr int PANE_DEVID = 8;
inline constexpr int PANE_GSM = 9;
inline constexpr int PANE_IO = 10;
inline constexpr int PANE_TIME = 11;
inline constexpr int PANE_SMSEDIT = 12;
inline constexpr int PANE_SMSLIST = 13;
inline constexpr int PANE_COUNT = 14;

// The last configuration pane, and the last pane that a replaced configuration reloads (the
// identification pane shows the type the configuration was read for).
inline constexpr int PANE_LAST_CFG = PANE_RENUM;

// The start-up error code of a pane that cannot be created (64-70, 79, 72-77); 0 for an id
// that names no pane.
int PaneErrorCode(int id);

// The tabs of the navigation page control.
inline constexpr int TAB_CFG = 0;
inline constexpr int TAB_STATE = 1;
inline constexpr int TAB_TOOLS = 2;
inline constexpr int TAB_COUNT = 3;

struct PaneRef {
    int id = PANE_NONE;
    int param = 0;
    bool operator==(const PaneRef&) const = default;
};

// The pane a tree node shows: by tab and by the node's absolute index in its tree (every node
// counted in display order, children included). A category node, or a node or tab outside the
// table, gives PANE_NONE.
PaneRef PaneMap(int tab, int node);
// Number of nodes of a tab's tree.
int PaneMapSize(int tab);

class CPane {
public:
    // cfg: the configuration that the frame's edits mark modified; null for panes that edit
    // no configuration (status, SMS).
    explicit CPane(CTK630Cfg* cfg = nullptr) : m_pCfg(cfg) {}
    virtual ~CPane() = default;
    CPane(const CPane&) = delete;
    CPane& operator=(const CPane&) = delete;

    // Creates the frame: 1, or the pane's start-up error code.
    virtual int Create() = 0;
    // Takes what the user changed in the frame into the data (configuration panes only).
    virtual void Leave() = 0;
    // Fills the frame from the data for `param`; a Load that fills calls BeginLoad first.
    virtual void Load(int param) = 0;
    // Makes the frame visible and ends the loading (EndLoad).
    virtual void Show() = 0;
    virtual void Hide() = 0;
    // An event of the link worker, on the user-interface thread. Every pane gets every event,
    // shown or not, before the event's own pane reloads: what a pane keeps across reloads (the
    // signal's history, when the clock was read, that the unit is silent) is taken here.
    virtual void OnComEvent(const CComEvent& ev) { (void)ev; }
    // Before the profile is written: what the user arranged in the frame (column widths).
    virtual void SaveLayout() {}

    void BeginLoad(int param);
    void Reload();
    // What every change handler of a frame calls: marks the configuration modified, unless
    // the change came from filling the frame.
    void OnDataChange();

    int m_nParam = 0;
    bool m_bStale = true;    // the data changed since the last Load
    bool m_bLoading = false; // between BeginLoad and the following Show or end of Reload

protected:
    void EndLoad() { m_bLoading = false; }

    CTK630Cfg* m_pCfg;
};

class CPaneMng {
public:
    // Makes the pane object of an id; null when it cannot be made.
    using Factory = std::function<std::unique_ptr<CPane>(int id)>;

    CPaneMng() = default;
    ~CPaneMng();
    CPaneMng(const CPaneMng&) = delete;
    CPaneMng& operator=(const CPaneMng&) = delete;

    // Makes all fourteen pane objects, then their frames: 1, or the first error code.
    int Create(const Factory& factory);
    // Shows pane `id` for `param`. Any id outside 0..13 hides the shown pane and shows none.
    void Select(int id, int param);
    // Marks panes first..last stale; the shown one among them reloads at once.
    void Invalidate(int first, int last);
    // Null for an id outside 0..13.
    CPane* GetPane(int id) const;
    int GetCur() const { return m_nCur; }
    // Leave of the shown pane, if any (before its data is saved or sent).
    void LeaveCurrent();
    // OnComEvent of every pane, in id order.
    void Notify(const CComEvent& ev);
    // SaveLayout of every pane.
    void SaveLayout();
    // Deletes every pane, in id order (before the windows that own the frames go).
    void Destroy();

private:
    std::array<std::unique_ptr<CPane>, PANE_COUNT> m_apPane;
    int m_nCur = PANE_NONE;
};
