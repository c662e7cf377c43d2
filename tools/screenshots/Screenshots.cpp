// Renders the main window with each pane, and the main dialogs, into PNG files for the
// README: the offscreen platform, a program folder in a temporary directory whose profile
// points at an in-process virtual unit, and the unit's data read as the user would (online,
// configuration, status, SMS).
//
//     tk530-screenshots <folder for the pictures>
#include "app/AppUIApp.h"
#include "app/MainWnd.h"
#include "app/Prompts.h"
#include "app/QtPrompts.h"
#include "base/ProgramFolder.h"
#include "config/CfgCatalogue.h"
#include "config/DlgCfgCompare.h"
#include "connections/ConnectDsc.h"
#include "connections/DlgComSet.h"
#include "link/DlgRemCon.h"
#include "status/SysTime.h"
#include "tools/sim/SimServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Nothing may wait for a user: prompts are printed and answered No.
class PrintedPrompts : public IPrompts {
public:
    int AskText(const std::string& text, PromptButtons, PromptDefault) override {
        std::fprintf(stderr, "prompt: %s\n", text.c_str());
        return PROMPT_NO;
    }
    void ErrorText(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "error: %s\n", text.c_str());
    }
    void WarningText(const std::string& text) override {
        std::fprintf(stderr, "warning: %s\n", text.c_str());
    }
    bool OpenFileName(std::string&, const std::string&, const std::string&) override {
        return false;
    }
    bool SaveFileName(std::string&, const std::string&, SaveDialogOptions&) override {
        return false;
    }
};

bool Run(CApp& app, uint32_t (CTK630::*command)()) {
    if ((app.m_Device.*command)() != 1)
        return false;
    QElapsedTimer timer;
    timer.start();
    while (app.m_Device.m_Com.IsBusy() && timer.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    return !app.m_Device.m_Com.IsBusy();
}

bool Save(QWidget& widget, const std::filesystem::path& file) {
    QCoreApplication::processEvents();
    if (widget.grab().save(QString::fromStdString(file.string())))
        return true;
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return false;
}

// The dialogs of the communication settings and of the configuration menu, as they open.
void ShootDialogs(CApp& app, TFrmMain& main, const std::filesystem::path& out) {
    CConnectDscMng& connections = app.m_Device.m_Com.GetConnections();
    if (connections.GetCount() == 0) {
        CConnectDsc dsc{};
        std::snprintf(dsc.m_szNum, sizeof dsc.m_szNum, "%s", "+420601222333");
        std::snprintf(dsc.m_szPIN, sizeof dsc.m_szPIN, "%s", "1234");
        connections.SetSel(connections.Add(dsc));
    }
    {
        TFrmComSet dlg(app.m_UI, &main);
        dlg.Init();
        dlg.show();
        auto* pages = dlg.findChild<QTabWidget*>(QStringLiteral("m_pPgCtlCom"));
        Save(dlg, out / "dlg-comset-local.png");
        if (pages) {
            pages->setCurrentIndex(1);
            Save(dlg, out / "dlg-comset-remote.png");
        }
    }
    {
        TFrmRemCon dlg(app.Prompts(), app.m_UI.Profile(), app.m_Device.m_Com.GetModems().Modems(),
                       connections, &main);
        dlg.Prepare();
        dlg.show();
        Save(dlg, out / "dlg-remote-access.png");
    }
    {
        CfgImage edited = *app.m_Device.m_Cfg.GetImage();
        std::snprintf(edited.m_szPIN, sizeof edited.m_szPIN, "%s", "9876");
        edited.m_nSMSMode = edited.m_nSMSMode == 0 ? 1 : 0;
        TFrmCfgCompare dlg(&main);
        dlg.SetDiff(CfgDiff(*app.m_Device.m_Cfg.GetImage(), edited),
                    QStringLiteral("Soubor jiný.cfg"));
        dlg.show();
        Save(dlg, out / "dlg-compare.png");
    }
}

struct Shot {
    int tab;
    int node;
    const char* name;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder for the pictures>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char folder[] = "/tmp/tk530-shots.XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    tk::SetProgramFolder(folder);

    CSimServer sim;
    if (!sim.Start())
        return 1;
    SimSms sms;
    sms.time = GetLocalTime();
    sms.number = "+420600100200";
    sms.text = "Alarm 1: vstup 1 sepnut";
    sim.Unit().AddStoredSms(sms);
    CProfile profile;
    profile.SetDefaults();
    profile.SetPort(sim.SlavePath().c_str());
    profile.m_nWidth = 800; // the offscreen screen is 800 wide: not reduced to fit
    profile.m_nHeight = 520;
    profile.Save();

    QApplication application(argc, argv);
    InitGuiResources();
    InstallCzechTranslation();
    PrintedPrompts prompts;
    int status = 1;
    {
        CApp app(&prompts);
        app.m_Device.m_Com.SetPauseMs(0);
        if (app.Init() != 1)
            return 1;
        TFrmMain& main = *app.m_UI.MainWindow();
        main.grab().save(QString::fromStdString((out / "start.png").string()));
        if (Run(app, &CTK630::Online) && Run(app, &CTK630::ReadStatus) &&
            Run(app, &CTK630::ReadSms) && app.m_Device.m_Cfg.ReadFromUnit() == 1) {
            Run(app, &CTK630::ReadStatus); // waits for the configuration read too
            const Shot shots[] = {
                {TAB_CFG, 1, "cfg-enabled-directions"},
                {TAB_CFG, 2, "cfg-call-parameters"},
                {TAB_CFG, 3, "cfg-renumbering"},
                {TAB_CFG, 4, "cfg-sim"},
                {TAB_CFG, 5, "cfg-sms"},
                {TAB_CFG, 6, "cfg-time-parameters"},
                {TAB_CFG, 7, "cfg-basic"},
                {TAB_CFG, 9, "cfg-alarm1"},
                {TAB_STATE, 0, "state-identification"},
                {TAB_STATE, 1, "state-gsm"},
                {TAB_STATE, 2, "state-time"},
                {TAB_STATE, 3, "state-io"},
                {TAB_TOOLS, 1, "sms-new"},
                {TAB_TOOLS, 2, "sms-received"},
                {TAB_TOOLS, 3, "sms-sent"},
                {TAB_TOOLS, 4, "sms-to-send"},
            };
            auto* tabs = main.findChild<QTabWidget*>(QStringLiteral("m_pPgCtlP1"));
            for (const Shot& shot : shots) {
                tabs->setCurrentIndex(shot.tab);
                QTreeWidget* tree = main.Tree(shot.tab);
                int i = 0;
                for (QTreeWidgetItemIterator it(tree); *it; ++it, ++i) {
                    if (i == shot.node)
                        tree->setCurrentItem(*it);
                }
                QCoreApplication::processEvents();
                const auto file = out / (std::string(shot.name) + ".png");
                if (!main.grab().save(QString::fromStdString(file.string())))
                    std::fprintf(stderr, "cannot write %s\n", file.c_str());
            }
            ShootDialogs(app, main, out);
            status = 0;
        } else {
            std::fprintf(stderr, "the virtual unit did not answer\n");
        }
    }
    std::filesystem::remove_all(folder);
    return status;
}
