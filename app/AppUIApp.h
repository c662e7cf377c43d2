// The application object: the profile, the device object and the user-interface object,
// started in a fixed order, and the main window's close query.
#pragma once

#include "app/AppUI.h"
#include "app/Device.h"
#include "config/Profile.h"

#include <functional>
#include <memory>
#include <string>

class IPrompts;

class CApp {
public:
    // prompts: where messages and file dialogs go; null for Qt's boxes.
    explicit CApp(IPrompts* prompts = nullptr);
    ~CApp();
    CApp(const CApp&) = delete;
    CApp& operator=(const CApp&) = delete;

    // Profile, device, windows. 1, or the start-up error code after its message was shown.
    int Init();
    // The main window's close query.
    bool CanClose();
    std::string GetModulePath() const;
    IPrompts& Prompts() const { return *m_pPrompts; }

    // How the device is started (the engine's result); tests replace it to see a failure.
    std::function<uint32_t()> m_startDevice;

    CProfile m_Profile;
    CTK630 m_Device;
    CAppUI m_UI;

private:
    std::unique_ptr<IPrompts> m_pOwnPrompts;
    IPrompts* m_pPrompts;
    bool m_bPass = true; // the close query runs once; the close after the disconnect passes
};
