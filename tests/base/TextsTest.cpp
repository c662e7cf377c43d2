#include "base/Texts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

TEST(Texts, ListedNumbersGiveTheirTexts) {
    EXPECT_EQ(GetText(3), "online");
    EXPECT_EQ(GetText(11), "bezejmenná");
    EXPECT_EQ(GetText(52), "K odeslání");
    EXPECT_EQ(GetText(61), "Soubory konfigurace (*.cfg)|*.cfg");
    EXPECT_EQ(GetText(106), "Došlo ke komunikační chybě. Opakovat komunikaci?");
    EXPECT_EQ(GetText(203), "Komunikace byla přerušena uživatelem.");
    EXPECT_EQ(GetText(213), "Nedefinovaná odpověď na AT příkaz.");
    EXPECT_EQ(GetText(399), "Zadávání komunikačního příkazu, prosím čekejte.");
    EXPECT_EQ(GetText(444), "roaming");
}

TEST(Texts, InitialisationErrorEndsWithABlank) {
    EXPECT_EQ(GetText(TXT_INIT_ERROR), "Došlo k chybě při inicializaci: ");
}

TEST(Texts, UnlistedNumbersAreEmpty) {
    for (uint32_t id : {0u, 1u, 7u, 53u, 112u, 199u, 214u, 309u, 405u, 427u, 445u, 100000u})
        EXPECT_TRUE(GetText(id).empty()) << id;
}

TEST(Texts, TheTableHoldsExactlyTheListedNumbers) {
    int count = 0;
    for (uint32_t id = 0; id < 1000; ++id)
        count += GetText(id).empty() ? 0 : 1;
    EXPECT_EQ(count, 65);
}

TEST(Texts, StateNamesStayInsideTheirGroup) {
    EXPECT_EQ(GetStateText(TXT_SIM_STATE_BASE, 2), "OK");
    EXPECT_EQ(GetStateText(TXT_NET_STATE_BASE, 1), "OK");
    EXPECT_EQ(GetStateText(TXT_CALL_STATE_BASE, 4), "spojený hovor");
    EXPECT_EQ(GetStateText(TXT_SIM_STATE_BASE, 6), "chybný PIN");
    EXPECT_TRUE(GetStateText(TXT_CALL_STATE_BASE, 5).empty());
    // 420 + 20 would be text 440 of the next group.
    EXPECT_TRUE(GetStateText(TXT_SIM_STATE_BASE, 20).empty());
    EXPECT_TRUE(GetStateText(TXT_NET_STATE_BASE, 0xFFFFFFFFu).empty());
}

TEST(Texts, LoadTextCutsToTheBufferInCharacters) {
    EXPECT_EQ(LoadText(11, 128), "bezejmenná");
    EXPECT_EQ(LoadText(11, 11), "bezejmenná"); // 10 characters and the zero
    EXPECT_EQ(LoadText(11, 10), "bezejmenn");
    EXPECT_EQ(LoadText(51, 3), "Od");
    EXPECT_EQ(LoadText(51, 1), "");
    EXPECT_EQ(LoadText(7, 128), "");
}

// Every text, character for character, against the checked-in copy of the table: a typo in
// any of them, a lost trailing blank or a text too many fails here.
TEST(Texts, TheWholeTableMatchesItsCheckedInCopy) {
    std::ifstream copy(TK_TEXT_TABLE_COPY);
    ASSERT_TRUE(copy.is_open()) << TK_TEXT_TABLE_COPY;
    std::map<uint32_t, std::string> expected;
    std::string line;
    while (std::getline(copy, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        expected[static_cast<uint32_t>(std::stoul(line.substr(0, tab)))] = line.substr(tab + 1);
    }
    ASSERT_EQ(expected.size(), 65u);
    for (const auto& [id, text] : expected)
        EXPECT_EQ(GetText(id), text) << id;
    for (uint32_t id = 0; id < 1000; ++id) {
        if (!expected.count(id)) {
            EXPECT_TRUE(GetText(id).empty()) << id;
        }
    }
}
