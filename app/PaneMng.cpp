#include "app/PaneMng.h"

#include "config/CfgCatalogue.h"
#include "config/TK630Cfg.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr int kErrorCode[PANE_COUNT] = {64, 65, 66, 67, 68, 69, 70, 79, 72, 73, 74, 75, 76, 77};

constexpr PaneRef kCfgTree[] = {
    {PANE_NONE, 0},  {PANE_CALLENDIRS, 0}, {PANE_CALLPARS, 0}, {PANE_RENUM, 0}, {PANE_SIM, 0},
    {PANE_SMS, 0},   {PANE_TIMEPARS, 0},   {PANE_BASIC1, 0},   {PANE_NONE, 0},  {PANE_ALARM, 0},
    {PANE_ALARM, 1}, {PANE_ALARM, 2},      {PANE_ALARM, 3},    {PANE_ALARM, 4}};
constexpr PaneRef kStateTree[] = {{PANE_DEVID, 0}, {PANE_GSM, 0}, {PANE_TIME, 0}, {PANE_IO, 0}};
constexpr PaneRef kToolsTree[] = {
    {PANE_NONE, 0}, {PANE_SMSEDIT, 0}, {PANE_SMSLIST, 0}, {PANE_SMSLIST, 1}, {PANE_SMSLIST, 2}};

struct Tree {
    const PaneRef* nodes;
    int count;
};
constexpr Tree kTrees[TAB_COUNT] = {{kCfgTree, static_cast<int>(std::size(kCfgTree))},
                                    {kStateTree, static_cast<int>(std::size(kStateTree))},
                                    {kToolsTree, static_cast<int>(std::size(kToolsTree))}};

bool IsPane(int id) {
    return id >= 0 && id < PANE_COUNT;
}

} // namespace

// The catalogue names the configuration panes by the same ids: a field's pane is the pane
// that shows it.
static_assert(PANE_CALLPARS == CFG_PANE_CALL_PARS && PANE_CALLENDIRS == CFG_PANE_EN_DIRS &&
              PANE_SIM == CFG_PANE_SIM && PANE_ALARM == CFG_PANE_ALARM &&
              PANE_SMS == CFG_PANE_SMS && PANE_TIMEPARS == CFG_PANE_TIME_PARS &&
              PANE_BASIC1 == CFG_PANE_BASIC && PANE_RENUM == CFG_PANE_RENUM &&
              PANE_LAST_CFG == CFG_PANE_RENUM && PANE_NONE == CFG_PANE_NONE);

int PaneErrorCode(int id) {
    return IsPane(id) ? kErrorCode[id] : 0;
}

PaneRef PaneMap(int tab, int node) {
    if (tab < 0 || tab >= TAB_COUNT || node < 0 || node >= kTrees[tab].count)
        return {};
    return kTrees[tab].nodes[node];
}

int PaneMapSize(int tab) {
    return tab >= 0 && tab < TAB_COUNT ? kTrees[tab].count : 0;
}

void CPane::BeginLoad(int param) {
    m_bLoading = true;
    m_bStale = false;
    m_nParam = param;
}

void CPane::Reload() {
    Load(m_nParam);
    m_bLoading = false;
}

void CPane::OnDataChange() {
    if (!m_bLoading && m_pCfg)
        m_pCfg->SetModified();
}

CPaneMng::~CPaneMng() {
    Destroy();
}

void CPaneMng::Destroy() {
    m_nCur = PANE_NONE;
    for (auto& pane : m_apPane)
        pane.reset();
}

int CPaneMng::Create(const Factory& factory) {
    for (int id = 0; id < PANE_COUNT; ++id) {
        m_apPane[id] = factory ? factory(id) : nullptr;
        if (!m_apPane[id])
            return kErrorCode[id];
    }
    for (int id = 0; id < PANE_COUNT; ++id) {
        const int r = m_apPane[id]->Create();
        if (r != 1)
            return r;
    }
    return 1;
}

void CPaneMng::Select(int id, int param) {
    // An id that names no pane is stored as "none", so that the next Select never leaves
    // or hides a pane that does not exist.
    if (!IsPane(id) || !m_apPane[id])
        id = PANE_NONE;
    const int old = m_nCur;
    m_nCur = id;
    CPane* oldPane = GetPane(old);
    CPane* newPane = GetPane(id);
    if (oldPane)
        oldPane->Leave(); // also when the same pane is selected again
    if (newPane && (newPane->m_bStale || param != newPane->m_nParam))
        newPane->Load(param);
    if (oldPane && id != old)
        oldPane->Hide();
    if (newPane)
        newPane->Show();
}

void CPaneMng::Invalidate(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, PANE_COUNT - 1);
    for (int id = first; id <= last; ++id) {
        if (m_apPane[id])
            m_apPane[id]->m_bStale = true;
    }
    if (m_nCur >= first && m_nCur <= last) {
        if (CPane* pane = GetPane(m_nCur))
            pane->Reload();
    }
}

CPane* CPaneMng::GetPane(int id) const {
    return IsPane(id) ? m_apPane[id].get() : nullptr;
}

void CPaneMng::LeaveCurrent() {
    if (CPane* pane = GetPane(m_nCur))
        pane->Leave();
}

void CPaneMng::Notify(const CComEvent& ev) {
    for (const std::unique_ptr<CPane>& pane : m_apPane)
        if (pane)
            pane->OnComEvent(ev);
}

void CPaneMng::SaveLayout() {
    for (const std::unique_ptr<CPane>& pane : m_apPane)
        if (pane)
            pane->SaveLayout();
}
