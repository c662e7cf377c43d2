// "SMS.dat" of any content, read through the memory stream the store reads files with.
//
// Checked: no list holds more than five messages, every message is marked with its list and
// keeps to its limits (numbers, text); whatever was loaded, even from a damaged file, saved
// again loads the same and saves to the same bytes.
#include "tests/fuzz/SMSCheck.h"

#include "sms/ByteStream.h"
#include "sms/SMSMng.h"

namespace {

void CheckStore(const CSMSMng& store) {
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        FUZZ_CHECK(store.GetCount(list) >= 0 && store.GetCount(list) <= SMS_LIST_MAX);
        for (int i = 0; i < store.GetCount(list); ++i) {
            const CSMS* sms = store.Get(i, list);
            FUZZ_CHECK(sms != nullptr);
            FUZZ_CHECK(sms->GetList() == list);
            CheckMessage(*sms);
        }
        FUZZ_CHECK(store.Get(store.GetCount(list), list) == nullptr);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CSMSMng store;
    CMemoryReader file(data, size);
    const int result = store.LoadFrom(file);
    FUZZ_CHECK(result == 0 || result == 1);
    CheckStore(store);

    CMemoryWriter saved;
    FUZZ_CHECK(store.SaveTo(saved) == 1);
    CSMSMng again;
    CMemoryReader reader(saved.Data());
    FUZZ_CHECK(again.LoadFrom(reader) == 1);
    CheckStore(again);
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        FUZZ_CHECK(again.GetCount(list) == store.GetCount(list));
        for (int i = 0; i < store.GetCount(list); ++i)
            FUZZ_CHECK(SameMessage(*again.Get(i, list), *store.Get(i, list)));
    }
    CMemoryWriter resaved;
    FUZZ_CHECK(again.SaveTo(resaved) == 1);
    FUZZ_CHECK(resaved.Data() == saved.Data());
    return 0;
}
