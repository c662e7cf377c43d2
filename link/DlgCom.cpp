#include "link/DlgCom.h"

#include "app/Device.h"
#include "app/PaneHost.h"
#include "app/Prompts.h"
#include "base/Texts.h"
#include "config/Profile.h"
#include "link/ComMsg.h"
#include "link/Commands.h"
#include "link/LineCheck.h"
#include "link/LinkError.h"

#include "ui_DlgCom.h"

#include <QCloseEvent>

#include <algorithm>
#include <utility>

namespace {

// Captions are loaded into a buffer of 128 bytes.
constexpr size_t kCaptionBuffer = 128;

// A connect that could not open the port, or that the unit did not answer: the identification
// requests are the first a local session sends.
bool IsFailedConnect(uint32_t error, uint32_t command) {
    return error == LE_PORT_OPEN ||
           (error == LE_TIMEOUT && (command == CMD_GET_TYPE || command == CMD_GET_IDENT));
}

} // namespace

TFrmCom::TFrmCom(IPaneHost& ui, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowMinMaxButtonsHint),
      m_ui(ui), m_pForm(std::make_unique<Ui::TFrmCom>()) {
    m_pForm->setupUi(this);
    connect(m_pForm->m_pBtnCancel, &QPushButton::clicked, this, [this] { m_pBtnCancelClick(); });
}

TFrmCom::~TFrmCom() = default;

void TFrmCom::Begin() {
    if (parentWidget()) {
        // Centred on the main window.
        const QRect owner = parentWidget()->frameGeometry();
        adjustSize();
        move(owner.center() - rect().center());
    }
    open();
}

void TFrmCom::closeEvent(QCloseEvent* event) {
    if (m_bEnding) {
        QDialog::closeEvent(event);
        return;
    }
    KeepCloseRequest();
    event->ignore();
}

void TFrmCom::PostProgress(CComNotifyMsg* msg) {
    const uint32_t type = msg->m_nType;
    Handle(*msg);
    msg->m_bDone = true; // the worker may use the slot again
    emit progressHandled(type);
}

void TFrmCom::SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) {
    const uint32_t type = msg.m_nType;
    reply->Answer(Handle(msg));
    emit progressHandled(type);
}

void TFrmCom::SetCaption(uint32_t textId, bool cancel) {
    m_pForm->m_pLblCaption->setText(QString::fromStdString(LoadText(textId, kCaptionBuffer)));
    m_pForm->m_pBtnCancel->setEnabled(cancel);
}

uint32_t TFrmCom::Handle(const CComNotifyMsg& msg) {
    QProgressBar* bar = m_pForm->m_pPrbCom;
    switch (msg.m_nType) {
    case PM_CAPTION:
        SetCaption(msg.m_nValue, msg.m_bCancel != 0);
        break;
    case PM_BEGIN:
        SetCaption(msg.m_nValue, msg.m_bCancel != 0);
        bar->setValue(0);
        bar->setMaximum(static_cast<int>(std::min<uint32_t>(msg.m_nValue2, INT32_MAX)));
        break;
    case PM_STEP: {
        // Never beyond the maximum, however many steps come.
        const int64_t pos = int64_t{bar->value()} + msg.m_nValue;
        bar->setValue(static_cast<int>(std::min<int64_t>(pos, bar->maximum())));
        break;
    }
    case PM_POSITION:
        bar->setValue(static_cast<int>(std::min<int64_t>(msg.m_nValue, bar->maximum())));
        break;
    case PM_ERROR: {
        std::string text = LinkErrorMessage(msg.m_nValue, msg.m_nValue2);
        // What is likely wrong with the cable's port, found without another word to the unit.
        const CProfile& profile = m_ui.Profile();
        if (profile.m_nConnType == CONN_LOCAL && IsFailedConnect(msg.m_nValue, msg.m_nValue2)) {
            const std::string why = DiagnoseConnectFailure(
                profile.PortPath(), static_cast<int>(msg.m_nValue), msg.m_portFailure);
            if (!why.empty())
                text += "\n" + why;
        }
        if (!msg.m_strDetail.empty())
            text += "\n(" + msg.m_strDetail + ")";
        m_ui.Prompts().ErrorText(text, windowTitle().toStdString());
        break;
    }
    case PM_END:
        SetCaption(TXT_CAP_IDLE, false);
        bar->setValue(0);
        m_bEnding = true;
        done(QDialog::Accepted);
        m_bEnding = false;
        if (std::exchange(m_bCloseAsked, false) && parentWidget()) {
            // After the sequence's own end handling, as if the request came now.
            QMetaObject::invokeMethod(parentWidget(), &QWidget::close, Qt::QueuedConnection);
        }
        break;
    case PM_BAD_PIN:
        m_ui.Prompts().ErrorText(std::string(GetText(TXT_LINK_ERROR_BASE + LE_BAD_PIN)),
                                 windowTitle().toStdString());
        return static_cast<uint32_t>(m_ui.ShowConnectItemDlg(msg.m_pDsc, true));
    default:
        break;
    }
    return 0;
}

void TFrmCom::m_pBtnCancelClick() {
    m_ui.Device().m_Com.Post({CM_CANCEL, 0, 0});
}
