#include "app/DlgHelp.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QVBoxLayout>

namespace {

// Wide enough for the pictures of the panes without a horizontal scroll bar.
constexpr int kDefaultWidth = 760;
constexpr int kDefaultHeight = 620;

} // namespace

TFrmHelp::TFrmHelp(QWidget* owner)
    : QDialog(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::WindowMinMaxButtonsHint) {
    setObjectName(QStringLiteral("TFrmHelp"));
    setWindowTitle(QString::fromUtf8("Nápověda – TK530 Control Panel"));
    auto* layout = new QVBoxLayout(this);
    m_pTxbGuide = new QTextBrowser(this);
    m_pTxbGuide->setObjectName(QStringLiteral("m_pTxbGuide"));
    m_pTxbGuide->setOpenExternalLinks(false); // offline: links lead only within the guide
    m_pTxbGuide->setSource(QUrl(QString::fromLatin1(kGuideUrl)), QTextDocument::MarkdownResource);
    layout->addWidget(m_pTxbGuide);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("m_pBbxHelp"));
    QPushButton* close = buttons->button(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("m_pBtnClose"));
    close->setText(QString::fromUtf8("Zavřít"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    resize(kDefaultWidth, kDefaultHeight);
}

QStringList TFrmHelp::ImageNames() const {
    QStringList names;
    const QTextDocument* doc = m_pTxbGuide->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat())
                names << format.toImageFormat().name();
        }
    }
    return names;
}
