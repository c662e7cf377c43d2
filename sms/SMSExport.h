// Saving SMS messages to a text file: one line per message (CSMS::WriteText), CP1250 bytes,
// appended to an existing file or replacing it as the user chose. The dialogs (file name,
// the question whether to overwrite, the error box) are the caller's.
#pragma once

#include "sms/SMSMng.h"

#include <cstdint>
#include <string>
#include <string_view>

// Results of ExportSms.
inline constexpr int SMS_EXPORT_OK = 1;
inline constexpr int SMS_EXPORT_NOTHING = 2;       // no message to export; no file touched
inline constexpr int SMS_EXPORT_NO_FILE = 0;       // no file could be opened or created
inline constexpr int SMS_EXPORT_WRITE_FAILED = -1; // writing failed; the old file is untouched

// What to do with a file that exists already (the answer to text 110).
inline constexpr int SMS_EXPORT_OVERWRITE = 0;
inline constexpr int SMS_EXPORT_APPEND = 1;

// The bytes of the lines: CP1250 as the unit's texts are, or UTF-8 for tools that expect it.
enum class SmsExportEncoding { Cp1250, Utf8 };

// Whether the caller has to ask text 110 before exporting to this file.
bool SmsExportFileExists(const std::string& path);

// Writes the messages of `list` whose indices are the first n entries of `indices`, in
// that order, to `path`. The file is replaced as a whole (through a temporary file), so a
// failure never leaves it half written; with SMS_EXPORT_APPEND the old content comes first
// (as it is: appending UTF-8 lines to a CP1250 file is the user's choice).
int ExportSms(const CSMSMng& store, int list, const int32_t* indices, int n,
              const std::string& path, int mode,
              SmsExportEncoding encoding = SmsExportEncoding::Cp1250);
// Writes lines made elsewhere the same way: the file replaced as a whole, with
// SMS_EXPORT_APPEND after its old content. SMS_EXPORT_OK, SMS_EXPORT_NO_FILE or
// SMS_EXPORT_WRITE_FAILED.
int WriteSmsExportFile(const std::string& content, const std::string& path, int mode);
// Every message of the list, oldest first.
int ExportSmsList(const CSMSMng& store, int list, const std::string& path, int mode);

// The message for the user when the export failed: text 103 (UTF-8); empty on success.
std::string_view ExportErrorText(int result);
