#include "app/AppUIStableLayout.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QSizePolicy>

#include <algorithm>

namespace tk {

void ReserveCaptions(QAbstractButton* button, std::initializer_list<QString> captions) {
    if (!button)
        return;
    const QString shown = button->text();
    int width = button->minimumWidth();
    for (const QString& caption : captions) {
        button->setText(caption);
        width = std::max(width, button->sizeHint().width());
    }
    button->setText(shown);
    button->setMinimumWidth(width);
}

void ReserveLines(QLabel* label, int lines) {
    if (!label)
        return;
    const QFontMetrics metrics(label->font());
    const QMargins margins = label->contentsMargins();
    label->setMinimumHeight(metrics.lineSpacing() * lines + margins.top() + margins.bottom() +
                            2 * label->margin());
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
}

} // namespace tk
