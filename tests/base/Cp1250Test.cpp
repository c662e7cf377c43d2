#include "base/Cp1250.h"

#include <gtest/gtest.h>

#include <iconv.h>

namespace {

// The converter of the C library, as an independent reference for the defined bytes.
std::string IconvCp1250ToUtf8(uint8_t byte, bool* ok) {
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* pin = in;
    char* pout = out;
    size_t inLeft = 1, outLeft = sizeof out;
    *ok = iconv(cd, &pin, &inLeft, &pout, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    return std::string(out, sizeof out - outLeft);
}

bool IsUndefined(uint8_t b) {
    return b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98;
}

} // namespace

TEST(Cp1250, EveryByteRoundTripsThroughUtf8) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = tk::Cp1250ToUtf8(byte);
        std::string back;
        ASSERT_TRUE(tk::Utf8ToCp1250(utf8, back)) << "byte " << b;
        EXPECT_EQ(back, byte) << "byte " << b;
    }
}

TEST(Cp1250, DefinedBytesMatchTheCLibraryAndUndefinedOnesMapToThemselves) {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        if (IsUndefined(byte)) {
            EXPECT_EQ(tk::Cp1250ToUnicode(byte), char32_t{byte});
            continue;
        }
        bool ok = false;
        const std::string expected = IconvCp1250ToUtf8(byte, &ok);
        ASSERT_TRUE(ok) << "iconv refused byte " << b;
        EXPECT_EQ(tk::Cp1250ToUtf8(std::string(1, static_cast<char>(byte))), expected)
            << "byte " << b;
    }
}

TEST(Cp1250, CzechTextConvertsBothWays) {
    const std::string utf8 = "Přístup odepřen - neplatný PIN. Žluťoučký kůň úpěl ďábelské ódy.";
    std::string cp;
    ASSERT_TRUE(tk::Utf8ToCp1250(utf8, cp));
    size_t chars = 0;
    for (char c : utf8)
        chars += (static_cast<uint8_t>(c) & 0xC0) != 0x80 ? 1 : 0;
    EXPECT_EQ(cp.size(), chars);                  // one byte per character
    EXPECT_EQ(static_cast<uint8_t>(cp[1]), 0xF8); // ř
    EXPECT_EQ(tk::Cp1250ToUtf8(cp), utf8);
}

TEST(Cp1250, CharacterOutsideTheCodePageIsRefusedAndNamed) {
    std::string out = "unchanged";
    std::string bad;
    EXPECT_FALSE(tk::Utf8ToCp1250("abc Жd", out, &bad));
    EXPECT_EQ(bad, "Ж");
    EXPECT_EQ(out, "unchanged");
    EXPECT_FALSE(tk::Utf8ToCp1250("emoji \xF0\x9F\x98\x80", out, &bad));
    EXPECT_EQ(bad, "\xF0\x9F\x98\x80");
    EXPECT_EQ(tk::UnicodeToCp1250(U'Ж'), -1);
}

TEST(Cp1250, InvalidUtf8IsRefused) {
    std::string out;
    std::string bad;
    EXPECT_FALSE(tk::Utf8ToCp1250("a\xC3", out, &bad)); // cut sequence
    EXPECT_EQ(bad, "\\xC3");
    EXPECT_FALSE(tk::Utf8ToCp1250("\xC0\x80", out, &bad));     // overlong zero
    EXPECT_FALSE(tk::Utf8ToCp1250("\xED\xA0\x80", out, &bad)); // surrogate
    EXPECT_FALSE(tk::Utf8ToCp1250("\xFF", out, &bad));
}
