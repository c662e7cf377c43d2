// The modem's answers as the dialler reads them: result lines assembled from whatever bytes
// the modem sends, then classified and turned into the text shown to the user. The first
// byte chooses the reader's mode (bit 0: CR ends a line; bit 1: numeric result codes; bit 2:
// the mode of CR changes half-way, as when the dialler turns verbose codes on).
//
// Checked against a plain model of the line rule (LF ends a line, CR is dropped or ends it,
// a line keeps its first 256 bytes); the same lines come out whether the bytes are fed one by
// one or as a buffer; a line never holds CR or LF; the text for the user is printable ASCII,
// at most 60 characters.
#include "tests/fuzz/FuzzCheck.h"

#include "link/HayesReader.h"

#include <string>

namespace {

struct Model {
    bool crEnds = false;
    std::string partial; // every byte of the line so far, however long

    // True when the byte ends a line; `line` then holds it.
    bool Feed(uint8_t b, std::string& line) {
        if (b == '\n' || (b == '\r' && crEnds)) {
            line.swap(partial);
            partial.clear();
            return true;
        }
        if (b != '\r')
            partial.push_back(static_cast<char>(b));
        return false;
    }
};

void CheckText(const std::string& text) {
    FUZZ_CHECK(text.size() <= 60);
    for (const char c : text)
        FUZZ_CHECK(c >= 0x20 && c < 0x7F);
}

void CheckLine(const CHayesReader& reader, const std::string& full, const std::string& previous,
               bool numeric) {
    const std::string& line = reader.Line();
    FUZZ_CHECK(line.size() <= CHayesReader::MAX_LINE);
    FUZZ_CHECK(reader.Overlong() == (full.size() > CHayesReader::MAX_LINE));
    FUZZ_CHECK(line == full.substr(0, CHayesReader::MAX_LINE));
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);

    // The line before stands in for the command just sent: a line equal to it is its echo.
    const HayesLine kind = ClassifyHayesLine(line, previous, numeric);
    FUZZ_CHECK(kind >= HayesLine::Empty && kind <= HayesLine::Unknown);
    if (line.find_first_not_of(" \t\v\f") == std::string::npos)
        FUZZ_CHECK(kind == HayesLine::Empty);
    if (kind != HayesLine::Empty && line == previous)
        FUZZ_CHECK(kind == HayesLine::Echo);
    CheckText(HayesReasonText(line, numeric));
    CheckText(HayesReasonText(line));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const bool crEnds = (data[0] & 1) != 0;
    const bool numeric = (data[0] & 2) != 0;
    const size_t switchAt = (data[0] & 4) != 0 ? (size - 1) / 2 : size;
    ++data;
    --size;

    CHayesReader single;   // fed byte by byte, as the dialler reads
    CHayesReader buffered; // fed from the buffer
    single.SetCrEndsLine(crEnds);
    buffered.SetCrEndsLine(crEnds);
    Model model;
    model.crEnds = crEnds;
    std::string full;
    std::string previous;
    size_t bufferedAt = 0;
    bool bufferedSwitched = false;
    for (size_t i = 0; i < size; ++i) {
        if (i == switchAt) {
            single.SetCrEndsLine(!crEnds);
            model.crEnds = !crEnds;
        }
        const bool done = single.Feed(data[i]);
        FUZZ_CHECK(done == model.Feed(data[i], full));
        if (!done)
            continue;
        CheckLine(single, full, previous, numeric);

        // The buffered reader, switched at the same byte, stops right after the same byte.
        size_t from = bufferedAt;
        if (!bufferedSwitched && switchAt <= i) {
            if (from < switchAt) {
                bool early = false;
                const size_t n = buffered.Feed(data + from, switchAt - from, &early);
                FUZZ_CHECK(!early && n == switchAt - from);
                from = switchAt;
            }
            buffered.SetCrEndsLine(!crEnds);
            bufferedSwitched = true;
        }
        bool lineDone = false;
        const size_t taken = buffered.Feed(data + from, i + 1 - from, &lineDone);
        FUZZ_CHECK(lineDone && from + taken == i + 1);
        FUZZ_CHECK(buffered.Line() == single.Line() && buffered.Overlong() == single.Overlong());
        bufferedAt = i + 1;
        previous = single.Line();
    }
    // A partly received line is forgotten.
    single.Reset();
    FUZZ_CHECK(single.Feed('\n') && single.Line().empty() && !single.Overlong());
    return 0;
}
