// The session with the unit: open the channel (local port or modem call), log in over a
// modem, identify the unit; and close it all again.
#include "link/TK630Com.h"

#include "base/Texts.h"
#include "config/Profile.h"
#include "link/Commands.h"
#include "status/DevStatus.h"

#include <cstring>

namespace {

constexpr uint32_t STEPS_CONNECT = 4;
constexpr uint32_t STEPS_DISCONNECT = 2;

constexpr uint32_t LOGIN_REQUEST_SIZE = 13;

// Confirmation codes of the login reply.
constexpr uint8_t LOGIN_BAD_PIN_3 = 3;
constexpr uint8_t LOGIN_BAD_PIN_4 = 4;
constexpr uint8_t LOGIN_BLOCKED = 6;

constexpr uint32_t DIAL_SLICE_MS = 500;

} // namespace

LinkResult CTK630Com::Connect(const CComMsg& cmd) {
    if (!m_bOpen) {
        const LinkResult r = OpenLink();
        if (r != LE_OK)
            return r;
    }
    return LoginAndIdentify(cmd);
}

LinkResult CTK630Com::OpenLink() {
    m_nConnType = m_profile.m_nConnType;
    m_notify.Post(PM_BEGIN, TXT_CAP_CONNECT, STEPS_CONNECT, true);
    m_notify.Post(PM_STEP, 1);
    if (m_nConnType == CONN_LOCAL) {
        CommDcb dcb = kDefaultDcb;
        dcb.BaudRate = 9600;
        const LinkResult opened = m_serCom.Open(m_profile.PortPath(), dcb);
        if (opened != LE_OK) {
            m_strErrorDetail = m_serCom.LastOpenError();
            m_portFailure = m_serCom.LastOpenFailure();
            // Storno while a network port was still connecting is the user's, not a failure.
            return opened == LE_CANCELLED ? LE_CANCELLED : LE_PORT_OPEN;
        }
        m_notify.Post(PM_STEP, 1);
    } else {
        const LinkResult r = DialModem();
        if (r != LE_OK)
            return r;
    }
    if (m_profile.m_bLog)
        m_serCom.OpenLog(); // a trace that cannot be written does not stop the session
    m_bOpen = true;
    ResetSilence();
    PostEvent(CE_ONLINE);
    return LE_OK;
}

LinkResult CTK630Com::DialModem() {
    const CConnectDsc* dsc = m_connMng.Get(m_connMng.GetSel());
    if (!dsc) {
        m_strErrorDetail = "není vybráno žádné spojení";
        return LE_NO_CONNECTION;
    }
    if (m_profile.m_nModem < 0 ||
        static_cast<size_t>(m_profile.m_nModem) >= m_tapi.GetModemCount()) {
        m_strErrorDetail = "není vybrán žádný modem";
        return LE_NO_CONNECTION;
    }
    const std::string number(dsc->m_szNum, strnlen(dsc->m_szNum, sizeof dsc->m_szNum));
    const int made = m_tapi.MakeCall(number.c_str(), m_profile.m_nModem);
    if (made != 0) {
        m_strErrorDetail = ModemReasonText(m_tapi.GetLine().LastReason());
        return DialResultToLinkError(made);
    }
    CTAPILine& line = m_tapi.GetLine();
    for (;;) {
        uint32_t state = 0;
        const int r = line.WaitCallState(DIAL_SLICE_MS, &state);
        if (r == static_cast<int>(LINEERR_OPERATIONFAILED)) {
            if (m_serCom.IsCancelled())
                return LE_CANCELLED;
            continue;
        }
        if (r != 0) {
            m_strErrorDetail = ModemReasonText(line.LastReason());
            return DialResultToLinkError(r);
        }
        if (state == LINECALLSTATE_CONNECTED)
            break;
        if (state == LINECALLSTATE_DISCONNECTED) {
            m_strErrorDetail = ModemReasonText(line.LastReason());
            return LE_NO_CONNECTION;
        }
    }
    m_notify.Post(PM_STEP, 1);
    int fd = -1;
    if (line.GetCommHandle(&fd) == 0)
        m_serCom.Attach(fd);
    return LE_OK;
}

LinkResult CTK630Com::LoginAndIdentify(const CComMsg& cmd) {
    if (m_nConnType == CONN_LOCAL) {
        m_notify.Post(PM_POSITION, 3);
    } else {
        m_notify.Post(PM_POSITION, 2);
        CConnectDsc* dsc = m_connMng.Get(m_connMng.GetSel());
        if (!dsc)
            return LE_NO_CONNECTION;
        for (;;) {
            uint8_t request[LOGIN_REQUEST_SIZE] = {};
            PutRequestHeader(request, CMD_LOGIN);
            std::memcpy(request + HEADER_SIZE, dsc->m_szPIN,
                        strnlen(dsc->m_szPIN, sizeof dsc->m_szPIN - 1));
            uint8_t reply[HEADER_SIZE];
            const LinkResult r = Xchg(request, sizeof request, reply, sizeof reply, 5000, 5000, 1);
            if (r == LE_OK) {
                m_notify.Post(PM_STEP, 1);
                break;
            }
            if (r == LE_CONFIRM && reply[3] == LOGIN_BLOCKED)
                return LE_BLOCKED;
            if (r == LE_CONFIRM && (reply[3] == LOGIN_BAD_PIN_3 || reply[3] == LOGIN_BAD_PIN_4)) {
                if (m_bStopping)
                    return LE_ABORTED;
                if (m_notify.Send(PM_BAD_PIN, 0, 0, dsc) == DLG_OK)
                    continue; // log in again with the PIN the user gave
                return LE_ABORTED;
            }
            return r;
        }
    }

    uint8_t typeReply[TYPE_REPLY_SIZE] = {};
    LinkResult r = Query(CMD_GET_TYPE, typeReply, sizeof typeReply, 3000, 6000, 3);
    if (r != LE_OK)
        return r;
    m_notify.Post(PM_STEP, 1);

    uint8_t identReply[IDENT_REPLY_SIZE] = {};
    r = Query(CMD_GET_IDENT, identReply, sizeof identReply, 3000, 6000, 3);
    if (r != LE_OK)
        return r;

    TypeReplyToHost(typeReply);
    IdentReplyToHost(identReply);
    const uint32_t changed =
        UpdateStatus([&](CDevStatus& s) { return s.UpdateIdentification(typeReply, identReply); });
    if (changed & DEVID_IDENT_CHANGED)
        PostEvent(CE_DEVID);
    if (cmd.m_nParam1 != 0)
        m_bOnline = true;
    m_notify.Post(PM_STEP, 1);
    Pause();
    return LE_OK;
}

LinkResult CTK630Com::Disconnect() {
    m_notify.Post(PM_BEGIN, TXT_CAP_DISCONNECT, STEPS_DISCONNECT, false);
    uint8_t reply[HEADER_SIZE];
    Query(CMD_LOGOUT, reply, sizeof reply, 2500, 2500, 1);
    m_notify.Post(PM_STEP, 1);
    if (m_nConnType == CONN_LOCAL) {
        uint8_t end[HEADER_SIZE + 1] = {};
        PutRequestHeader(end, CMD_LOCAL_END);
        Xchg(end, sizeof end, reply, sizeof reply, 2500, 2500, 1);
    } else {
        m_tapi.GetLine().DropCall();
    }
    // The trace ends with every session, so a trace switch turned off takes effect at once.
    m_serCom.CloseLog();
    m_serCom.Close();
    m_notify.Post(PM_STEP, 1);
    m_bOpen = false;
    m_bOnline = false;
    m_nPollPhase = 0;
    ResetSilence();
    PostEvent(CE_OFFLINE);
    Pause();
    return LE_OK;
}
