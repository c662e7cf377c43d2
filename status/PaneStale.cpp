#include "status/PaneStale.h"

#include "app/ShellRules.h"
#include "link/ComNotify.h"
#include "status/SysTime.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
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

void Grey(QWidget* w, bool stale) {
    if (!stale) {
        w->setPalette(QPalette()); // back to what the window gives it
        return;
    }
    QPalette pal = w->palette();
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
    if (IsStale(frame) != stale) {
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
    case CE_NO_ANSWER:
        ShowStale(m_pFrm, QString::fromStdString(
                              LastSeenText(LocalTimeAt(static_cast<int64_t>(ev.m_nArg)))));
        break;
    case CE_ANSWERING:
    case CE_OFFLINE:
        // Only a stale frame is touched: a live one keeps its caption as the pane sets it.
        if (IsStale(m_pFrm))
            ShowStale(m_pFrm, QString());
        break;
    default:
        break;
    }
}
