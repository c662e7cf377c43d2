// The modem list file "Modems.dat" of any content.
//
// Checked: a damaged file leaves an empty list; a loaded one holds at most 64 modems, each
// numbered by its position, valid as the list would accept it, with every text terminated
// inside its field; written again it loads the same and writes the same text.
#include "tests/fuzz/FuzzCheck.h"

#include "link/ModemList.h"

#include <cstring>
#include <string>

namespace {

template <size_t N>
bool Terminated(const char (&field)[N]) {
    return std::memchr(field, 0, N) != nullptr;
}

void CheckList(const CModemMng& list) {
    FUZZ_CHECK(list.Count() <= CModemMng::MAX_MODEMS);
    for (size_t i = 0; i < list.Count(); ++i) {
        const CModemInf* m = list.Get(i);
        FUZZ_CHECK(m != nullptr);
        FUZZ_CHECK(m->m_nDeviceId == static_cast<int32_t>(i));
        FUZZ_CHECK(Terminated(m->m_szName) && Terminated(m->m_szDevice) &&
                   Terminated(m->m_szInit) && Terminated(m->m_szBearer));
        FUZZ_CHECK(ValidateModem(*m) == 0);
        FUZZ_CHECK(!ModemBearer(*m).empty());
    }
    FUZZ_CHECK(list.Get(list.Count()) == nullptr);
}

bool Same(const CModemInf& a, const CModemInf& b) {
    return std::strcmp(a.m_szName, b.m_szName) == 0 &&
           std::strcmp(a.m_szDevice, b.m_szDevice) == 0 &&
           std::strcmp(a.m_szInit, b.m_szInit) == 0 && a.m_bGsm == b.m_bGsm &&
           std::strcmp(a.m_szBearer, b.m_szBearer) == 0 && a.m_nDeviceId == b.m_nDeviceId;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CModemMng list;
    list.Add(MakeModemInf("Old modem", "/dev/ttyS0"));
    if (list.Parse(text) != CModemMng::LoadResult::Loaded) {
        FUZZ_CHECK(list.Count() == 0);
        return 0;
    }
    CheckList(list);

    const std::string saved = list.Format();
    CModemMng again;
    FUZZ_CHECK(again.Parse(saved) == CModemMng::LoadResult::Loaded);
    CheckList(again);
    FUZZ_CHECK(again.Count() == list.Count());
    for (size_t i = 0; i < list.Count(); ++i)
        FUZZ_CHECK(Same(*again.Get(i), *list.Get(i)));
    FUZZ_CHECK(again.Format() == saved);
    return 0;
}
