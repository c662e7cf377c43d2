#include "sms/SMSExport.h"

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

// The old content of a file that the new lines are appended to.
bool ReadWholeFile(const std::string& path, CMemoryWriter& out) {
    std::string content;
    return tk::ReadFileContent(path, content, SIZE_MAX) == 0 &&
           out.Write(content.data(), content.size());
}

} // namespace

bool SmsExportFileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

int ExportSms(const CSMSMng& store, int list, const int32_t* indices, int n,
              const std::string& path, int mode) {
    if (!indices || n <= 0 || store.GetCount(list) == 0)
        return SMS_EXPORT_NOTHING;
    CMemoryWriter lines;
    for (int i = 0; i < n; ++i) {
        const CSMS* sms = store.Get(indices[i], list);
        if (sms && !sms->WriteText(lines))
            return SMS_EXPORT_WRITE_FAILED;
    }
    return WriteSmsExportFile(
        std::string(reinterpret_cast<const char*>(lines.Data().data()), lines.Data().size()), path,
        mode);
}

int WriteSmsExportFile(const std::string& lines, const std::string& path, int mode) {
    // The file is replaced by renaming: a link is followed so that it stays a link, and the
    // file keeps its permissions.
    std::string target = path;
    mode_t fileMode = 0644;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists) {
        fileMode = st.st_mode & 07777;
        char real[PATH_MAX];
        if (::realpath(path.c_str(), real))
            target = real;
    }

    CMemoryWriter content;
    if (exists && mode == SMS_EXPORT_APPEND && !ReadWholeFile(target, content))
        return SMS_EXPORT_NO_FILE; // never replace what we were asked to extend
    if (!content.Write(lines.data(), lines.size()))
        return SMS_EXPORT_WRITE_FAILED;

    tk::CSafeFileWriter writer;
    if (!writer.Open(target, fileMode))
        return SMS_EXPORT_NO_FILE;
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
