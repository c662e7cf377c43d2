#include "sms/SMSExport.h"

#include "base/Cp1250.h"
#include "base/FileIO.h"
#include "base/SafeFile.h"
#include "base/Texts.h"
#include "sms/ByteStream.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An export file is text that only grows by appending; one larger than this was not made by
// the program, and is not read whole into memory.
constexpr size_t kMaxExportFileSize = 64u << 20;

// The old content of a file that the new lines are appended to.
bool ReadWholeFile(const std::string& path, CMemoryWriter& out) {
    std::string content;
    return tk::ReadFileContent(path, content, kMaxExportFileSize, tk::kReadRegularOnly) == 0 &&
           out.Write(content.data(), content.size());
}

} // namespace

bool SmsExportFileExists(const std::string& path) {
    // A FIFO, terminal or device only receives the lines: nothing there would be replaced.
    struct stat st {};
    return path != "-" && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int ExportSms(const CSMSMng& store, int list, const int32_t* indices, int n,
              const std::string& path, int mode, SmsExportEncoding encoding) {
    if (!indices || n <= 0 || store.GetCount(list) == 0)
        return SMS_EXPORT_NOTHING;
    CMemoryWriter lines;
    for (int i = 0; i < n; ++i) {
        const CSMS* sms = store.Get(indices[i], list);
        if (sms && !sms->WriteText(lines))
            return SMS_EXPORT_WRITE_FAILED;
    }
    std::string text(reinterpret_cast<const char*>(lines.Data().data()), lines.Data().size());
    if (encoding == SmsExportEncoding::Utf8)
        text = tk::Cp1250ToUtf8(text);
    return WriteSmsExportFile(text, path, mode);
}

int WriteSmsExportFile(const std::string& lines, const std::string& path, int mode) {
    // A link the user made is followed by the writer (the link stays, the file it points to
    // gets the lines); a stream gets only the new lines.
    tk::CSafeFileWriter writer;
    if (!writer.Open(path, 0644, tk::FileOwner::User))
        return SMS_EXPORT_NO_FILE;
    CMemoryWriter content;
    if (!writer.IsStream() && mode == SMS_EXPORT_APPEND && SmsExportFileExists(path) &&
        !ReadWholeFile(path, content))
        return SMS_EXPORT_NO_FILE; // never replace what we were asked to extend
    if (!content.Write(lines.data(), lines.size()))
        return SMS_EXPORT_WRITE_FAILED;
    if (!writer.Write(content.Data().data(), content.Data().size()) || !writer.Commit())
        return SMS_EXPORT_WRITE_FAILED;
    return SMS_EXPORT_OK;
}

int ExportSmsList(const CSMSMng& store, int list, const std::string& path, int mode) {
    int32_t indices[SMS_LIST_MAX];
    const int n = store.GetCount(list);
    for (int i = 0; i < n; ++i)
        indices[i] = i;
    return ExportSms(store, list, indices, n, path, mode);
}

std::string_view ExportErrorText(int result) {
    if (result == SMS_EXPORT_NO_FILE || result == SMS_EXPORT_WRITE_FAILED)
        return GetText(TXT_SMS_SAVE_ERROR);
    return {};
}
