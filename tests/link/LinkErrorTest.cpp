#include "link/LinkError.h"

#include <gtest/gtest.h>

TEST(LinkError, MessageNamesTheCommandInFourHexDigits) {
    EXPECT_EQ(LinkErrorMessage(LE_TIMEOUT, 0x26), "Vypršel komunikační timeout. EC: 0026");
    EXPECT_EQ(LinkErrorMessage(LE_CONFIRM, 0x86), "Chybný potvrzující kód. EC: 0086");
    EXPECT_EQ(LinkErrorMessage(LE_CRC, 0x2B), "Chybné CRC. EC: 002B");
}

TEST(LinkError, WithoutACommandTheTextStandsAlone) {
    EXPECT_EQ(LinkErrorMessage(LE_PORT_OPEN, 0), "Nepodařilo se otevřít komunikační port.");
}

TEST(LinkError, EveryReportedCodeHasItsText) {
    for (LinkResult code = LE_SERIAL; code <= LE_AT_REPLY; ++code)
        EXPECT_FALSE(LinkErrorText(code).empty()) << code;
    EXPECT_EQ(LinkErrorText(LE_BAD_PIN), "Přístup odepřen - neplatný PIN.");
    EXPECT_TRUE(LinkErrorText(LE_OK).empty());
    EXPECT_TRUE(LinkErrorText(LE_NO_MORE_SMS).empty());
    EXPECT_TRUE(LinkErrorText(LE_ABORTED).empty());
    EXPECT_TRUE(LinkErrorText(LE_BUSY).empty());
}
