#include "app/AppUIApp.h"

#include "app/QtPrompts.h"
#include "base/ProgramFolder.h"
#include "base/Texts.h"
#include "link/ComMsg.h"

#include <QGuiApplication>
#include <QScreen>

#include <cstdio>

CApp::CApp(IPrompts* prompts)
    : m_Device(m_Profile), m_UI(*this, m_Device, m_Profile), m_pPrompts(prompts) {
    if (!m_pPrompts) {
        m_pOwnPrompts = std::make_unique<CQtPrompts>();
        m_pPrompts = m_pOwnPrompts.get();
    }
    m_startDevice = [this] { return m_Device.Start(); };
}

CApp::~CApp() {
    // The worker may be waiting for the windows; release it before stopping it, and stop it
    // while the windows' receivers still exist.
    m_UI.Detach();
    m_Device.Stop();
}

std::string CApp::GetModulePath() const {
    return tk::ProgramFolder();
}

int CApp::Init() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->size();
        m_Profile.SetScreenSize(size.width(), size.height());
    }
    m_Profile.Load(); // a missing or damaged file leaves the defaults
    m_UI.Attach();
    int result = static_cast<int>(m_startDevice());
    if (result == 1)
        result = m_UI.Init();
    if (result == 1 && m_Profile.m_bBadConnType)
        m_pPrompts->InfoText("Soubor Profile.dat uvádí neznámý způsob přístupu; použije se "
                             "lokální přístup (kabelem).");
    if (result != 1) {
        char code[8];
        std::snprintf(code, sizeof code, "%03d", result);
        m_pPrompts->ErrorText(LoadText(TXT_INIT_ERROR, 64) + code, kAppTitle);
    }
    return result;
}

bool CApp::CanClose() {
    if (!m_bPass)
        return true;
    if (m_Device.m_Cfg.QuerySave() == CFG_CANCEL)
        return false; // asked again at the next close request
    m_bPass = false;
    // Over Profile.dat as it is now: a port tk530ctl set meanwhile stays unless the user
    // changed the connection settings here too.
    m_Profile.SaveMerged();
    if (!m_Device.m_Com.IsOnline())
        return true;
    // The worker closes the window once the session is closed. Should the disconnect not be
    // queued, the window closes now and the engine's stop closes the session.
    return m_Device.m_Com.Post({CM_DISCONNECT, 1, 0}) != 1;
}
