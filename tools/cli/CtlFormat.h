// How tk530ctl prints what it knows: the status records as the status panes show them, the
// SMS lists, and the same as JSON for scripts. Everything returned here is UTF-8; texts that
// come from the unit or from files (CP1250) are converted first.
#pragma once

#include "sms/SMS.h"
#include "sms/SMSMng.h"
#include "status/DevStatus.h"
#include "status/SysTime.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace ctl {

// A JSON string literal: quotes, backslashes and control characters escaped.
std::string JsonString(std::string_view utf8);

// The text with every control character (C0, DEL and C1) replaced by a blank, so that what a
// unit or a file holds can never move the cursor or switch the terminal into another mode.
// With `keepLineBreaks`, a line break (LF, CR LF) stays one LF.
std::string ForTerminal(std::string_view utf8, bool keepLineBreaks = false);

// A zero-terminated CP1250 field of at most `size` bytes, as UTF-8.
std::string FieldText(const char* cp1250, size_t size);

// Characters (code points) of a UTF-8 text, for aligning columns.
size_t Utf8Length(std::string_view utf8);

// "14:05:09", "7.12.2008", "2008-12-07T14:05:09".
std::string FormatClock(const SysTime& t);
std::string FormatDate(const SysTime& t);
std::string IsoTime(const SysTime& t);

// The panes as plain text, one "label: value" per line under the group's caption.
std::string InfoText(const CDevIdent& id);
std::string GsmText(const CGSMState& gsm);
std::string IoText(const CIOState& io);
std::string ClockText(const SysTime& clock);
// GSM, inputs/outputs and clock.
std::string StatusText(const CDevStatus& status);

// The same as JSON objects.
std::string InfoJson(const CDevIdent& id);
std::string GsmJson(const CGSMState& gsm);
std::string IoJson(const CIOState& io);
std::string StatusJson(const CDevStatus& status);

// One line of a monitor: the change as it was reported (CE_IO, CE_GSM, CE_TIME,
// CE_SMS_RECEIVED, CE_NO_ANSWER with `since` the unit's last answer in seconds since the
// epoch, CE_ANSWERING, or MONITOR_STATUS for the whole state at the start), with the PC's
// time.
inline constexpr int MONITOR_STATUS = 0;
std::string MonitorLine(int event, const SysTime& pcTime, const CDevStatus& status, const CSMS* sms,
                        int smsIndex, int64_t since = 0);
std::string MonitorJson(int event, const SysTime& pcTime, const CDevStatus& status, const CSMS* sms,
                        int smsIndex, int64_t since = 0);

// The key of a list in commands and JSON: "received", "sent", "tosend"; -1 for another text.
int SmsListByKey(std::string_view key);
std::string_view SmsListKey(int list);

// One message: "* 0  14:05:09  7.12.2008  +420123, +420456  text" (the star for unread).
std::string SmsLine(const CSMS& sms, int index);
std::string SmsJson(const CSMS& sms, int index);
// A list under its caption ("Přijaté (2)"), oldest first.
std::string SmsListText(const CSMSMng& store, int list);
std::string SmsListJson(const CSMSMng& store, int list);

} // namespace ctl
