#include "app/AppUIBlockedClose.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// The atom of `name` on the connection; 0 when the server does not answer.
uint32_t InternAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : 0;
}

} // namespace

CBlockedCloseFilter::CBlockedCloseFilter(QWidget& main, std::function<void()> onBlockedClose)
    : m_main(main), m_onBlockedClose(std::move(onBlockedClose)) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return; // offscreen, Wayland: nothing to watch
    m_nProtocols = InternAtom(x11->connection(), "WM_PROTOCOLS");
    m_nDelete = InternAtom(x11->connection(), "WM_DELETE_WINDOW");
    if (m_nProtocols != 0 && m_nDelete != 0)
        QCoreApplication::instance()->installNativeEventFilter(this);
}

CBlockedCloseFilter::~CBlockedCloseFilter() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

bool CBlockedCloseFilter::nativeEventFilter(const QByteArray& type, void* message,
                                            qintptr* /*result*/) {
    if (type != "xcb_generic_event_t" || !message)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->format != 32 || client->type != m_nProtocols || client->data.data32[0] != m_nDelete)
        return false;
    if (!m_main.windowHandle() || client->window != m_main.winId())
        return false;
    // Only what Qt would drop: the main window blocked by a modal dialog.
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != &m_main && m_onBlockedClose)
        m_onBlockedClose();
    return false;
}
