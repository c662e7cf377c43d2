// Every text a message box, the progress dialog or tk530ctl can show is Czech: the numbered
// texts, the link errors, the system's reasons and the line diagnosis. The system's own
// words (strerror, English fragments of the serial layer) once came through untranslated.
#include "base/SysError.h"
#include "base/Texts.h"
#include "link/LineCheck.h"
#include "link/LinkError.h"
#include "link/PortAccess.h"
#include "link/SerCom.h"
#include "link/TAPIMng.h"
#include "sms/Recipients.h"
#include "sms/SMSExport.h"
#include "tests/support/EnglishWords.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Texts = std::vector<std::pair<std::string, std::string>>; // where, text

void Add(Texts& texts, std::string where, std::string_view text) {
    if (!text.empty())
        texts.emplace_back(std::move(where), std::string(text));
}

} // namespace

TEST(CzechTexts, TheDetectorFindsEnglishAndPassesCzech) {
    EXPECT_EQ(EnglishWords("the line hung up (cable or adapter unplugged?)"),
              (std::vector<std::string>{"the", "line", "hung", "or", "unplugged"}));
    EXPECT_EQ(EnglishWords("The following argument was not expected: x").size(), 5u);
    EXPECT_TRUE(EnglishWords("Port /dev/ttyUSB0 je obsazen (NO CARRIER) EC: 0028; "
                             "sudo usermod -aG dialout novak, Řádek žádné číslo")
                    .empty());
}

TEST(CzechTexts, EveryTextAPromptCanShowIsCzech) {
    Texts texts;
    for (uint32_t id = 0; id < 1000; ++id)
        Add(texts, "text " + std::to_string(id), GetText(id));
    for (LinkResult code = 0; code < 256; ++code)
        Add(texts, "link error " + std::to_string(code), LinkErrorMessage(code, 0x28));
    for (int err = 1; err < 134; ++err) {
        Add(texts, "errno " + std::to_string(err), tk::SystemErrorText(err));
        Add(texts, "open errno " + std::to_string(err), OpenErrorText(err, "/dev/ttyUSB0"));
    }
    Add(texts, "hang-up", kLineHungUpText);
    Add(texts, "not open", kPortNotOpenText);
    Add(texts, "flow control", kNoFlowControlNote);

    // The line check's verdicts, with every fact they may name.
    for (int v = LINE_OK; v <= LINE_OTHER; ++v) {
        for (const bool facts : {false, true}) {
            LineCheckResult r;
            r.m_verdict = static_cast<LineVerdict>(v);
            r.m_strDevice = "/dev/ttyUSB0";
            if (facts) {
                r.m_strUnitName = "TK530";
                r.m_strSerial = "1234";
                r.m_strHolder = "minicom (pid 2001)";
                r.m_strGroup = "dialout";
                r.m_strUser = "novak";
                r.m_strDetail = tk::SystemErrorText(EIO);
                r.m_nBytes = 3;
            }
            Add(texts, "line verdict " + std::to_string(v), LineDiagnosisText(r));
        }
    }
    for (const int err : {ENOENT, EACCES, EBUSY, ENOTTY}) {
        PortOpenFailure failure;
        failure.device = "/dev/ttyUSB0";
        failure.err = err;
        failure.holders = {{2001, "minicom"}};
        failure.groupHelps = true;
        failure.group = {"/dev/ttyUSB0", "dialout", "novak", false};
        Add(texts, "connect failure errno " + std::to_string(err),
            DiagnoseConnectFailure("COM1", LE_PORT_OPEN, failure));
    }
    Add(texts, "connect failure 3", DiagnoseConnectFailure("/dev/tk530-zadny-port", LE_TIMEOUT));
    for (const bool joined : {false, true}) {
        PortGroupHint hint{"/dev/ttyUSB0", "dialout", "novak", joined};
        Add(texts, "group hint", PortGroupHintText(hint));
    }
    for (const char* word : {"NO CARRIER", "BUSY", "NO DIALTONE", "NO ANSWER", "ERROR", "DELAYED",
                             "+CME ERROR: 3", REASON_NO_RESULT, REASON_LINE_DOWN})
        Add(texts, std::string("modem ") + word, ModemReasonText(word));

    // What the serial layer says when the device does not take the line settings.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    std::string reason;
    EXPECT_FALSE(ConfigureSerialLine(pipeFds[0], kDefaultDcb, &reason, nullptr));
    Add(texts, "line on a pipe", reason);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    CommDcb odd = kDefaultDcb;
    odd.BaudRate = 12345;
    reason.clear();
    EXPECT_FALSE(ConfigureSerialLine(-1, odd, &reason, nullptr));
    Add(texts, "odd speed", reason);
    struct termios wanted {};
    struct termios back {};
    wanted.c_cflag = CS8;
    reason.clear();
    EXPECT_FALSE(CheckLineSettings(wanted, back, &reason, nullptr));
    Add(texts, "settings not taken", reason);

    for (const char* line : {"Jana", "++1", "+", "12345678901234567", "1,2,3,4,5"})
        Add(texts, std::string("recipient ") + line, RecipientErrorText(ParseRecipients(line)));
    for (const int result : {SMS_EXPORT_NOTHING, SMS_EXPORT_NO_FILE, SMS_EXPORT_WRITE_FAILED})
        Add(texts, "export " + std::to_string(result), ExportErrorText(result));

    EXPECT_GT(texts.size(), 300u); // the walk reached the tables
    for (const auto& [where, text] : texts) {
        const std::vector<std::string> english = EnglishWords(text);
        EXPECT_TRUE(english.empty()) << where << ": \"" << text << "\" (" << english.front() << ")";
    }
}
