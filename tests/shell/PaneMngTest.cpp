// The pane manager's order of calls, its table of tree nodes and its error codes, with panes
// that only record what is done to them.
#include "app/PaneMng.h"

#include "config/TK630Cfg.h"
#include "link/ComNotify.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingPane : public CPane {
public:
    RecordingPane(int id, std::vector<std::string>& log, CTK630Cfg* cfg = nullptr, int result = 1)
        : CPane(cfg), m_id(id), m_log(log), m_result(result) {}
    int Create() override { return Note("Create"), m_result; }
    void Leave() override { Note("Leave" + std::to_string(m_nParam)); }
    void Load(int param) override {
        BeginLoad(param);
        // Filling the frame fires its change handlers; they must not mark the configuration.
        OnDataChange();
        Note("Load" + std::to_string(param));
    }
    void Show() override {
        EndLoad();
        Note("Show");
    }
    void Hide() override { Note("Hide"); }
    void OnComEvent(const CComEvent& ev) override { Note("Event" + std::to_string(ev.m_nCode)); }
    void SaveLayout() override { Note("SaveLayout"); }

private:
    void Note(const std::string& what) { m_log.push_back(std::to_string(m_id) + ":" + what); }
    int m_id;
    std::vector<std::string>& m_log;
    int m_result;
};

class PaneMngTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mng.Create([this](int id) {
            return std::make_unique<RecordingPane>(id, log, id <= PANE_RENUM ? &cfg : nullptr);
        }),
                  1);
        log.clear();
    }
    std::vector<std::string> Take() { return std::exchange(log, {}); }

    CTK630Cfg cfg;
    std::vector<std::string> log;
    CPaneMng mng;
};

using Log = std::vector<std::string>;

} // namespace

TEST_F(PaneMngTest, SelectLeavesFirstLoadsOnlyWhenNeededAndHidesLast) {
    mng.Select(PANE_ALARM, 0);
    EXPECT_EQ(Take(), (Log{"3:Load0", "3:Show"}));
    // Alarm1 -> Alarm2: the form goes into alarm 0 before alarm 1 is loaded, never hidden.
    mng.Select(PANE_ALARM, 1);
    EXPECT_EQ(Take(), (Log{"3:Leave0", "3:Load1", "3:Show"}));
    // The same node again (a tab change back): Leave first, no reload of a fresh pane.
    mng.Select(PANE_ALARM, 1);
    EXPECT_EQ(Take(), (Log{"3:Leave1", "3:Show"}));
    mng.Select(PANE_GSM, 0);
    EXPECT_EQ(Take(), (Log{"3:Leave1", "9:Load0", "3:Hide", "9:Show"}));
    // A category node hides the pane; any id outside the table counts as none.
    mng.Select(PANE_NONE, 0);
    EXPECT_EQ(Take(), (Log{"9:Leave0", "9:Hide"}));
    mng.Select(PANE_COUNT + 3, 0);
    EXPECT_EQ(mng.GetCur(), PANE_NONE);
    mng.Select(-7, 0);
    EXPECT_EQ(mng.GetCur(), PANE_NONE);
    EXPECT_TRUE(Take().empty());
    mng.Select(PANE_GSM, 0); // not stale, same parameter: shown as it was
    EXPECT_EQ(Take(), (Log{"9:Show"}));
    EXPECT_FALSE(cfg.IsModified());
}

TEST_F(PaneMngTest, InvalidateMarksStaleAndReloadsOnlyTheShownPane) {
    mng.Select(PANE_SIM, 0);
    mng.Select(PANE_DEVID, 0);
    Take();
    mng.Invalidate(0, PANE_DEVID); // a configuration was replaced
    EXPECT_EQ(Take(), (Log{"8:Load0"}));
    EXPECT_FALSE(mng.GetPane(PANE_DEVID)->m_bLoading);
    EXPECT_TRUE(mng.GetPane(PANE_SIM)->m_bStale);
    mng.Select(PANE_SMSLIST, 2);
    Take();
    mng.Invalidate(0, PANE_DEVID); // an SMS pane is shown: nothing at once
    mng.Invalidate(PANE_GSM, PANE_GSM);
    EXPECT_TRUE(Take().empty());
    mng.Invalidate(-5, 99); // clamped to the table
    EXPECT_EQ(Take(), (Log{"13:Load2"}));
    mng.Select(PANE_SIM, 0); // stale: loads when it is shown again
    EXPECT_EQ(Take(), (Log{"13:Leave2", "2:Load0", "13:Hide", "2:Show"}));
    EXPECT_FALSE(cfg.IsModified());
    mng.GetPane(PANE_SIM)->OnDataChange(); // the user's edit marks it
    EXPECT_TRUE(cfg.IsModified());
    EXPECT_EQ(mng.GetPane(-1), nullptr);
    EXPECT_EQ(mng.GetPane(PANE_COUNT), nullptr);
}

TEST_F(PaneMngTest, EveryPaneHearsEveryEventShownOrNotAndNothingReloads) {
    mng.Select(PANE_GSM, 0);
    Take();
    CComEvent ev;
    ev.m_nCode = CE_GSM_POLL;
    mng.Notify(ev);
    mng.SaveLayout();
    Log expected;
    for (const char* what : {"Event10", "SaveLayout"})
        for (int id = 0; id < PANE_COUNT; ++id)
            expected.push_back(std::to_string(id) + ":" + what);
    EXPECT_EQ(Take(), expected);
}

TEST(PaneMngCreate, TheFirstFailureGivesThatPanesCode) {
    const int expected[PANE_COUNT] = {64, 65, 66, 67, 68, 69, 70, 79, 72, 73, 74, 75, 76, 77};
    for (int failing = 0; failing < PANE_COUNT; ++failing) {
        std::vector<std::string> log;
        CPaneMng objects; // the object of pane `failing` cannot be made
        EXPECT_EQ(objects.Create([&](int id) -> std::unique_ptr<CPane> {
            if (id == failing)
                return nullptr;
            return std::make_unique<RecordingPane>(id, log);
        }),
                  expected[failing]);
        EXPECT_TRUE(log.empty()); // no frame is made before every object exists
        CPaneMng frames;          // the frame of pane `failing` cannot be made
        EXPECT_EQ(frames.Create([&](int id) {
            return std::make_unique<RecordingPane>(id, log, nullptr,
                                                   id == failing ? PaneErrorCode(id) : 1);
        }),
                  expected[failing]);
        EXPECT_EQ(log.size(), static_cast<size_t>(failing + 1));
    }
    EXPECT_EQ(PaneErrorCode(PANE_NONE), 0);
}

TEST(PaneMapTable, NodesGiveTheirPanes) {
    struct Case {
        int tab, node;
        PaneRef ref;
    };
    const Case cases[] = {
        {TAB_CFG, 0, {PANE_NONE, 0}},
        {TAB_CFG, 1, {PANE_CALLENDIRS, 0}},
        {TAB_CFG, 2, {PANE_CALLPARS, 0}},
        {TAB_CFG, 3, {PANE_RENUM, 0}},
        {TAB_CFG, 7, {PANE_BASIC1, 0}},
        {TAB_CFG, 8, {PANE_NONE, 0}},
        {TAB_CFG, 12, {PANE_ALARM, 3}},
        {TAB_CFG, 14, {PANE_NONE, 0}},
        {TAB_STATE, 2, {PANE_TIME, 0}},
        {TAB_STATE, 3, {PANE_IO, 0}},
        {TAB_TOOLS, 0, {PANE_NONE, 0}},
        {TAB_TOOLS, 1, {PANE_SMSEDIT, 0}},
        {TAB_TOOLS, 4, {PANE_SMSLIST, 2}},
        {TAB_TOOLS, -1, {PANE_NONE, 0}},
        {3, 0, {PANE_NONE, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PaneMap(c.tab, c.node), c.ref) << c.tab << "/" << c.node;
    EXPECT_EQ(PaneMapSize(TAB_CFG) + PaneMapSize(TAB_STATE) + PaneMapSize(TAB_TOOLS), 23);
}
