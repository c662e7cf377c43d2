#include "status/PaneStale.h"

#include "app/ShellRules.h"
#include "link/ComNotify.h"
#include "status/SysTime.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QString>
#include <QVariant>

namespace {

constexpr const char* kStale = "tkStale";
constexpr const char* kLiveTitle = "tkLiveTitle";

// The widgets that show values (the captions and buttons are not values).
bool ShowsValue(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QProgressBar*>(w) ||
           w->objectName() == QLatin1String("m_pLblDrift");
}

// What the window gives a value widget, except that a field the user cannot change has the
// window's colour behind its text instead of an edit's white, so it does not invite typing.
QPalette LivePalette(const QWidget* w) {
    QPalette pal;
    const auto* edit = qobject_cast<const QLineEdit*>(w);
    if (edit && edit->isReadOnly()) {
        for (const QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
            pal.setColor(g, QPalette::Base, pal.color(g, QPalette::Window));
    }
    return pal;
}

void Grey(QWidget* w, bool stale) {
    QPalette pal = LivePalette(w);
    if (!stale) {
        w->setPalette(pal);
        return;
    }
    for (const QPalette::ColorRole role :
         {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::Highlight}) {
        const QColor grey = pal.color(QPalette::Disabled, role);
        pal.setColor(QPalette::Active, role, grey);
        pal.setColor(QPalette::Inactive, role, grey);
    }
    w->setPalette(pal);
}

} // namespace

void ShowStale(QWidget* frame, const QString& lastSeen) {
    if (!frame)
        return;
    const bool stale = !lastSeen.isEmpty();
    if (auto* group = frame->findChild<QGroupBox*>(QStringLiteral("m_pGrbMain"))) {
        if (!group->property(kLiveTitle).isValid())
            group->setProperty(kLiveTitle, group->title());
        const QString live = group->property(kLiveTitle).toString();
        group->setTitle(stale ? live + QStringLiteral(" — ") + lastSeen : live);
    }
    // The first call gives the read-only fields their look, stale or not.
    if (IsStale(frame) != stale || !frame->property(kStale).isValid()) {
        for (QWidget* w : frame->findChildren<QWidget*>()) {
            if (ShowsValue(w))
                Grey(w, stale);
        }
    }
    frame->setProperty(kStale, stale);
}

bool IsStale(const QWidget* frame) {
    return frame && frame->property(kStale).toBool();
}

void CStatusPane::OnComEvent(const CComEvent& ev) {
    switch (ev.m_nCode) {
    case CE_DEVID:
        // The first identification of a session: from now on the values were read once. The
        // port alone (CE_ONLINE) is not enough: a unit that never answered has told nothing.
        m_bRead = true;
        break;
    case CE_ONLINE:
        m_bSilent = false;
        if (IsStale(m_pFrm))
            ShowStale(m_pFrm, QString());
        break;
    case CE_NO_ANSWER:
        m_bSilent = true;
        m_nSilentSince = static_cast<int64_t>(ev.m_nArg);
        ShowStale(m_pFrm, QString::fromStdString(
                              LastSeenText(LocalTimeAt(m_nSilentSince), GetLocalTime())));
        break;
    case CE_ANSWERING:
        m_bSilent = false;
        // Only a stale frame is touched: a live one keeps its caption as the pane sets it.
        if (IsStale(m_pFrm))
            ShowStale(m_pFrm, QString());
        break;
    case CE_OFFLINE: {
        // Offline the values stay as last read: when the unit fell silent, or now.
        const int64_t lastRead = m_bSilent ? m_nSilentSince : QDateTime::currentSecsSinceEpoch();
        m_bSilent = false;
        ShowStale(m_pFrm, m_bRead ? QString::fromStdString(
                                        LastSeenText(LocalTimeAt(lastRead), GetLocalTime()))
                                  : QString::fromUtf8(kNeverReadText));
        break;
    }
    default:
        break;
    }
}
