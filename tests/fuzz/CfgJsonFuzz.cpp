// A JSON document of any content imported over a configuration, as `config import` does,
// once as checked and once with --force.
//
// Checked: a refused document leaves the image as it was and names at least one problem,
// each with a key or, for a fault of the document as a whole, its line; an accepted one gives
// an image whose every text is terminated inside its field and that exports and imports
// again to the same bytes; without --force it holds nothing the panes would refuse.
#include "tests/fuzz/FuzzCheck.h"

#include "config/CfgCatalogue.h"
#include "config/CfgJson.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace {

void CheckTexts(const CfgImage& image) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&image);
    for (const CfgField& f : CfgCatalogue()) {
        if (f.kind == CfgKind::Text)
            FUZZ_CHECK(std::memchr(bytes + f.offset, 0, f.size) != nullptr);
    }
}

void ImportOnce(std::string_view json, bool force) {
    CfgImage base;
    SetDefaults(base);
    std::memcpy(base.m_szPIN, "2468", 5);
    CfgImage image = base;
    std::vector<CfgProblem> problems;
    const int r = CfgImportJson(json, image, force, problems);
    if (r != CFG_OK) {
        FUZZ_CHECK(!problems.empty() && problems.front().error == r);
        FUZZ_CHECK(std::memcmp(&image, &base, sizeof image) == 0);
        for (const CfgProblem& p : problems)
            FUZZ_CHECK(!p.key.empty() || p.detail.find("řádek") != std::string::npos ||
                       p.error == CFG_E_FORMAT);
        return;
    }
    FUZZ_CHECK(problems.empty());
    CheckTexts(image);
    if (!force)
        FUZZ_CHECK(CfgCheckImage(image).empty());
    CfgImage again;
    SetDefaults(again);
    FUZZ_CHECK(CfgImportJson(CfgExportJson(image), again, true, problems) == CFG_OK);
    FUZZ_CHECK(std::memcmp(&again, &image, sizeof image) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    ImportOnce(json, false);
    ImportOnce(json, true);
    return 0;
}
