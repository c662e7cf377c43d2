// "Connection.dat" of any content.
//
// Checked: a refused file leaves an empty list with nothing chosen; an accepted one holds at
// most 100 descriptors whose texts are terminated inside their fields, is the file's records
// as they stand (apart from the terminators forced into each field), and saved again loads
// the same.
#include "tests/fuzz/FuzzCheck.h"

#include "connections/ConnectDsc.h"

#include <cstring>
#include <vector>

namespace {

constexpr size_t kHeader = 12;
constexpr size_t kRecord = sizeof(CConnectDsc);

void CheckList(const CConnectDscMng& m) {
    FUZZ_CHECK(m.GetCount() >= 0 && m.GetCount() <= CONNECT_MAX);
    for (int i = 0; i < m.GetCount(); ++i) {
        const CConnectDsc* d = m.Get(i);
        FUZZ_CHECK(d != nullptr);
        FUZZ_CHECK(std::memchr(d->m_szNum, 0, sizeof d->m_szNum) != nullptr);
        FUZZ_CHECK(std::memchr(d->m_szPIN, 0, sizeof d->m_szPIN) != nullptr);
    }
    FUZZ_CHECK(m.Get(m.GetCount()) == nullptr && m.Get(-1) == nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CConnectDscMng m;
    CConnectDsc old;
    old.SetNum("111");
    m.Add(old);
    m.SetSel(0);
    if (m.LoadBytes(data, size) != 1) {
        FUZZ_CHECK(m.GetCount() == 0 && m.GetSel() == -1);
        return 0;
    }
    CheckList(m);

    const std::vector<uint8_t> file = m.SaveBytes();
    const size_t used = kHeader + kRecord * static_cast<size_t>(m.GetCount());
    FUZZ_CHECK(file.size() == used && size >= used);
    std::vector<uint8_t> expected(data, data + used);
    for (size_t rec = kHeader; rec < used; rec += kRecord) {
        expected[rec + sizeof old.m_szNum - 1] = 0;
        expected[rec + kRecord - 1] = 0;
    }
    FUZZ_CHECK(file == expected);

    CConnectDscMng again;
    FUZZ_CHECK(again.LoadBytes(file.data(), file.size()) == 1);
    CheckList(again);
    FUZZ_CHECK(again.GetSel() == m.GetSel() && again.SaveBytes() == file);
    return 0;
}
