// "Profile.dat" of any content.
//
// Checked: a file that is not version 3 gives every default; the port name is terminated
// inside its field; an access mode that is neither local nor remote is taken as local (and
// noted); every other value the file holds whole is taken as it stands, so the file saved
// again is the file's first 80 bytes (apart from the terminator forced into the port field and
// such an access mode) and loads the same.
#include "tests/fuzz/FuzzCheck.h"

#include "config/Profile.h"

#include <cstring>

namespace {

constexpr size_t kConnTypeAt = 4; // after the version
constexpr size_t kPortAt = 4 + 5; // version, connection type, trace switch

bool Same(const CProfile& a, const CProfile& b) {
    return a.m_nConnType == b.m_nConnType && a.m_bLog == b.m_bLog &&
           std::memcmp(a.m_szPort, b.m_szPort, sizeof a.m_szPort) == 0 &&
           a.m_nModem == b.m_nModem && a.m_nWidth == b.m_nWidth && a.m_nHeight == b.m_nHeight &&
           std::memcmp(a.m_anColWidth, b.m_anColWidth, sizeof a.m_anColWidth) == 0 &&
           a.m_nPgCtlWidth == b.m_nPgCtlWidth;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CProfile defaults;
    CProfile p;
    p.m_nModem = 7; // edited before: a refused file must not keep it
    const int result = p.LoadBytes(data, size);
    FUZZ_CHECK(std::memchr(p.m_szPort, 0, sizeof p.m_szPort) != nullptr);
    if (result != PROFILE_OK) {
        FUZZ_CHECK(result == PROFILE_ERR_LOAD);
        FUZZ_CHECK(Same(p, defaults));
        return 0;
    }
    FUZZ_CHECK(size >= 4);

    uint8_t file[PROFILE_FILE_SIZE];
    p.SaveBytes(file);
    if (size >= PROFILE_FILE_SIZE) {
        uint8_t expected[PROFILE_FILE_SIZE];
        std::memcpy(expected, data, sizeof expected);
        expected[kPortAt + sizeof p.m_szPort - 1] = 0;
        int32_t type = 0;
        std::memcpy(&type, data + kConnTypeAt, sizeof type);
        if (type != CONN_LOCAL && type != CONN_REMOTE) {
            FUZZ_CHECK(p.m_nConnType == CONN_LOCAL);
            const int32_t local = CONN_LOCAL;
            std::memcpy(expected + kConnTypeAt, &local, sizeof local);
        }
        FUZZ_CHECK(std::memcmp(file, expected, sizeof file) == 0);
    } else {
        // Up to the cut the file's bytes; a field cut in half is the default.
        FUZZ_CHECK(std::memcmp(file, data, 4) == 0);
    }

    CProfile again;
    FUZZ_CHECK(again.LoadBytes(file, sizeof file) == PROFILE_OK);
    FUZZ_CHECK(Same(again, p));
    return 0;
}
