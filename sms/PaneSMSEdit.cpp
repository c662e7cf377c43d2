#include "sms/PaneSMSEdit.h"

#include "app/AppUIStableLayout.h"
#include "app/AppUITextLimit.h"
#include "app/Device.h"
#include "app/PaneHost.h"
#include "app/Prompts.h"
#include "base/Cp1250.h"
#include "base/Texts.h"
#include "sms/PaneSMSList.h"
#include "sms/Recipients.h"

#include "ui_PaneSMSEdit.h"

#include <QIcon>
#include <QKeySequence>
#include <QShortcut>
#include <QStyle>
#include <QTextCursor>

#include <algorithm>

namespace {

// Four international numbers written in groups ("+420 777 123 456, ") with room to spare;
// the recipients themselves are limited by the recipient rule, not by the line.
constexpr int kMaxFor = 100;

QString Utf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Every character of text that CP1250 cannot hold, each once, in order.
QStringList Unsendable(const QString& text) {
    QStringList bad;
    for (const char32_t cp : text.toUcs4()) {
        if (cp == U'\n' || tk::UnicodeToCp1250(cp) >= 0)
            continue;
        const QString ch = QString::fromUcs4(&cp, 1);
        if (!bad.contains(ch))
            bad.push_back(ch);
    }
    return bad;
}

} // namespace

int SmsMemoLength(const QString& text) {
    const int newlines = static_cast<int>(text.count(QLatin1Char('\n')));
    return static_cast<int>(text.toUcs4().size()) + newlines;
}

QString SmsCounterText(int length) {
    const int part = static_cast<int>(SMS_PART_LEN);
    int r = length % part;
    if (r == 0 && length > 0)
        r = part;
    return QStringLiteral("%1/%2").arg(r).arg((length + part - 1) / part);
}

RecipientList SmsRecipients(const QString& line) {
    return ParseRecipients(line.toStdString());
}

TFrmSMSEdit::TFrmSMSEdit(IPaneHost& ui, QWidget* parent)
    : QWidget(parent), m_ui(ui), m_pForm(std::make_unique<Ui::TFrmSMSEdit>()) {
    m_pForm->setupUi(this);
    tk::ReserveLines(m_pForm->m_pLblUnsendable, 2); // the hint comes and goes as text is typed
    tk::LimitCp1250(m_pForm->m_pTxtFor, kMaxFor);
    m_pForm->m_pImgRecipientsWarn->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16, 16));
    connect(m_pForm->m_pTxtText, &QPlainTextEdit::textChanged, this,
            &TFrmSMSEdit::m_pTxtTextChange);
    connect(m_pForm->m_pTxtFor, &QLineEdit::textChanged, this, &TFrmSMSEdit::m_pTxtForChange);
    connect(m_pForm->m_pBtnSend, &QPushButton::clicked, this, [this] {
        m_pBtnSendClick();
        emit finished();
    });
    connect(m_pForm->m_pBtnSave, &QPushButton::clicked, this, [this] {
        m_pBtnSaveClick();
        emit finished();
    });
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* send = new QShortcut(keys, this);
        send->setContext(Qt::WidgetWithChildrenShortcut);
        connect(send, &QShortcut::activated, this, [this] {
            if (m_pForm->m_pBtnSend->isEnabled())
                m_pForm->m_pBtnSend->click();
        });
    }
    m_pTxtTextChange();
    UpdateRecipients();
}

TFrmSMSEdit::~TFrmSMSEdit() = default;

void TFrmSMSEdit::Bind(CSMS* sms, int index, bool load) {
    m_pSMS = sms;
    m_nIndex = index;
    if (!load || !sms)
        return;
    const char* text = sms->GetText();
    QString memo = text ? Utf8(tk::Cp1250ToUtf8(text)) : QString();
    memo.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_pForm->m_pTxtText->setPlainText(memo);
    QStringList numbers;
    for (int i = 0; i < SMS_MAX_NUMBERS; ++i)
        if (const char* n = sms->GetNumber(i))
            numbers.push_back(Utf8(tk::Cp1250ToUtf8(n)));
    m_pForm->m_pTxtFor->setText(numbers.join(QStringLiteral(", ")));
}

void TFrmSMSEdit::m_pTxtTextChange() {
    QPlainTextEdit* memo = m_pForm->m_pTxtText;
    if (!m_bCutting && SmsMemoLength(memo->toPlainText()) > static_cast<int>(SMS_MAX_TEXT)) {
        // Over the limit (typed or pasted): what does not fit is cut before the cursor.
        m_bCutting = true;
        QTextCursor cursor = memo->textCursor();
        while (SmsMemoLength(memo->toPlainText()) > static_cast<int>(SMS_MAX_TEXT) &&
               cursor.position() > 0)
            cursor.deletePreviousChar();
        while (SmsMemoLength(memo->toPlainText()) > static_cast<int>(SMS_MAX_TEXT))
            cursor.deleteChar();
        m_bCutting = false;
    }
    m_pForm->m_pLblLen2->setText(SmsCounterText(SmsMemoLength(memo->toPlainText())));
    MarkUnsendable();
    UpdateButtons();
}

void TFrmSMSEdit::m_pTxtForChange() {
    UpdateRecipients();
    UpdateButtons();
}

void TFrmSMSEdit::UpdateButtons() {
    const bool text = !m_pForm->m_pTxtText->toPlainText().isEmpty();
    const RecipientList recipients = SmsRecipients(m_pForm->m_pTxtFor->text());
    // A faulty recipient is named under the line and nothing leaves the editor until mended:
    // a message stored with the numbers before the fault would go to fewer people than meant.
    const bool sound = recipients.error == RCPT_OK;
    m_pForm->m_pBtnSend->setEnabled(text && sound && !recipients.numbers.empty());
    m_pForm->m_pBtnSave->setEnabled(sound && (text || !m_pForm->m_pTxtFor->text().isEmpty()));
}

void TFrmSMSEdit::MarkUnsendable() {
    // Characters the unit cannot take are marked where they stand and named under the text.
    QPlainTextEdit* memo = m_pForm->m_pTxtText;
    QList<QTextEdit::ExtraSelection> marks;
    const QString text = memo->toPlainText();
    QTextCharFormat format;
    format.setBackground(QColor(255, 200, 200));
    format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    format.setUnderlineColor(Qt::red);
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size();
        const qsizetype len = pair ? 2 : 1;
        const QString ch = text.mid(i, len);
        if (ch != QLatin1String("\n") && tk::Cp1250Length(ch) < 0) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(memo->document());
            mark.cursor.setPosition(static_cast<int>(i));
            mark.cursor.setPosition(static_cast<int>(i + len), QTextCursor::KeepAnchor);
            mark.format = format;
            marks.push_back(mark);
        }
        i += len;
    }
    memo->setExtraSelections(marks);
    const QStringList bad = Unsendable(text);
    m_pForm->m_pLblUnsendable->setVisible(!bad.isEmpty());
    m_pForm->m_pLblUnsendable->setText(
        bad.isEmpty() ? QString() : tk::RefusedCharHint(bad.join(QStringLiteral("“, „"))));
}

void TFrmSMSEdit::UpdateRecipients() {
    const RecipientList recipients = SmsRecipients(m_pForm->m_pTxtFor->text());
    QStringList numbers;
    for (const std::string& n : recipients.numbers)
        numbers.push_back(QString::fromStdString(n));
    m_pForm->m_pLblRecipients->setText(numbers.isEmpty() ? QString()
                                                         : QStringLiteral("Příjemci: ") +
                                                               numbers.join(QStringLiteral(", ")));
    QLabel* error = m_pForm->m_pLblRecipientsError;
    error->setText(Utf8(RecipientErrorText(recipients)));
    error->setVisible(recipients.error != RCPT_OK);
    QStringList shortOnes;
    for (const QString& n : numbers) {
        const auto digits = std::count_if(n.begin(), n.end(), [](QChar c) { return c.isDigit(); });
        if (digits < SMS_SHORT_NUMBER)
            shortOnes.push_back(n);
    }
    QLabel* warn = m_pForm->m_pImgRecipientsWarn;
    warn->setVisible(!shortOnes.isEmpty());
    warn->setToolTip(shortOnes.isEmpty()
                         ? QString()
                         : QStringLiteral("Číslo %1 má méně než %2 číslic: je celé?")
                               .arg(shortOnes.join(QStringLiteral(", ")))
                               .arg(SMS_SHORT_NUMBER));
}

bool TFrmSMSEdit::Collect(bool requireNumber) {
    if (!m_pSMS)
        return false;
    QString memo = m_pForm->m_pTxtText->toPlainText();
    memo.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    std::string text;
    std::string bad;
    if (SmsTextFromUtf8(memo.toStdString(), text, &bad) != SMS_INPUT_OK) {
        // Named, never dropped: the message keeps what it had.
        const QStringList all = Unsendable(m_pForm->m_pTxtText->toPlainText());
        m_ui.Prompts().Error(
            tk::RefusedCharHint(all.isEmpty() ? Utf8(bad) : all.join(QStringLiteral("“, „")))
                .toStdString());
        return false;
    }
    const RecipientList recipients = SmsRecipients(m_pForm->m_pTxtFor->text());
    if (recipients.error != RCPT_OK) {
        m_ui.Prompts().Error(RecipientErrorText(recipients));
        return false;
    }
    m_pSMS->SetTime(GetLocalTime());
    m_pSMS->SetText(text);
    std::string line;
    for (const std::string& n : recipients.numbers)
        line += n + ",";
    m_pSMS->SetNumbers(line);
    // A stored message edited in place is saved at once (and its row refreshed).
    if (m_nIndex >= 0) {
        // Another program's change may have moved it in its list (found by its object, which
        // a reload keeps), or removed it: then the edit goes back as a new message.
        CSMSMng& store = m_ui.Device().m_SMS;
        const int list = m_pSMS->GetList();
        const int now = store.IndexOf(m_pSMS, list);
        const int at = now >= 0 ? store.UpdateAndShow(now, list) : store.AddAndShow(*m_pSMS, list);
        if (at >= 0) {
            m_nIndex = at;
            m_pSMS = store.Get(at, list);
        }
    }
    if (m_pSMS->GetNumberCount() > 0 || !requireNumber)
        return true;
    m_ui.Prompts().Warning(TXT_NO_RECIPIENT);
    return false;
}

bool TFrmSMSEdit::HasDraft() const {
    return !m_pForm->m_pTxtText->toPlainText().isEmpty() || !m_pForm->m_pTxtFor->text().isEmpty();
}

void TFrmSMSEdit::Compose(const QString& recipients, const QString& text) {
    m_pForm->m_pTxtText->setPlainText(text);
    m_pForm->m_pTxtFor->setText(recipients);
    if (recipients.isEmpty())
        m_pForm->m_pTxtFor->setFocus();
    else
        m_pForm->m_pTxtText->setFocus();
}

void TFrmSMSEdit::Clear() {
    m_pForm->m_pTxtText->clear();
    m_pForm->m_pTxtFor->clear();
}

void TFrmSMSEdit::m_pBtnSendClick() {
    if (!Collect(true))
        return;
    int index = m_nIndex;
    if (m_nIndex < 0 || m_pSMS->GetList() != SMS_TOSEND)
        index = StoreToSend();
    if (index < 0)
        return;
    SmsSend(m_ui, {index});
    Clear();
}

void TFrmSMSEdit::m_pBtnSaveClick() {
    if (!Collect(false))
        return;
    if (m_nIndex >= 0 && m_pSMS->GetList() == SMS_TOSEND)
        return; // changed in place; the controls keep their contents
    if (StoreToSend() < 0)
        return;
    Clear();
}

int TFrmSMSEdit::StoreToSend() {
    const int index = m_ui.Device().m_SMS.AddAndShow(*m_pSMS, SMS_TOSEND);
    // A full list makes room only once its oldest unread message is safe in the archive;
    // the message stays in the editor, and the user is told why.
    if (index == -2)
        m_ui.Prompts().Error("Zprávu nelze uložit do seznamu K odeslání: seznam je plný a jeho "
                             "nejstarší nepřečtenou zprávu se nepodařilo zapsat do archivu " +
                             CSMSMng::ArchivePath() + ".");
    else if (index < 0)
        m_ui.Prompts().Error("Zprávu nelze uložit do seznamu K odeslání (nedostatek paměti).");
    return index;
}

CPaneSMSEdit::CPaneSMSEdit(IPaneHost& ui) : CFramePane(ui, PANE_SMSEDIT, nullptr) {}

QWidget* CPaneSMSEdit::NewFrame(QWidget* parent) {
    return new TFrmSMSEdit(m_ui, parent);
}

int CPaneSMSEdit::Create() {
    const int r = CFramePane::Create();
    if (r == 1)
        Frm()->Bind(&m_WorkSMS, -1, true);
    return r;
}
