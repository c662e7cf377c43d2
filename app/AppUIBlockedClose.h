// Close requests that the toolkit would drop. While a modal dialog blocks the main window,
// Qt discards the window manager's close request for the main window (its close box clicked
// during a short link operation), and the user's wish is lost. Under X11 this filter sees the
// request before Qt drops it and hands it on, so the progress dialog can keep it for the end
// of the operation. On other platforms it does nothing.
#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>

class QWidget;

class CBlockedCloseFilter : public QAbstractNativeEventFilter {
public:
    // `onBlockedClose` runs when the window system asks `main` to close while a modal dialog
    // blocks it; the request itself still goes on to Qt.
    CBlockedCloseFilter(QWidget& main, std::function<void()> onBlockedClose);
    ~CBlockedCloseFilter() override;
    CBlockedCloseFilter(const CBlockedCloseFilter&) = delete;
    CBlockedCloseFilter& operator=(const CBlockedCloseFilter&) = delete;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
    QWidget& m_main;
    std::function<void()> m_onBlockedClose;
    uint32_t m_nProtocols = 0; // the atoms WM_PROTOCOLS and WM_DELETE_WINDOW; 0: not X11
    uint32_t m_nDelete = 0;
};
