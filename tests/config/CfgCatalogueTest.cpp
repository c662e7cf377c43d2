// The catalogue against the image and the panes' rules, the checks and setters, the JSON form
// (round trips and named import errors) and the comparison of two configurations.
#include "config/CfgCatalogue.h"
#include "base/Json.h"
#include "config/CfgJson.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const CfgImage& image) {
    const auto* p = reinterpret_cast<const uint8_t*>(&image);
    return Bytes(p, p + sizeof image);
}

CfgImage Defaults() {
    CfgImage image;
    SetDefaults(image);
    return image;
}

uint8_t* At(CfgImage& image, const CfgField& f) {
    return reinterpret_cast<uint8_t*>(&image) + f.offset;
}

const CfgField& Field(const char* key) {
    const CfgField* f = CfgFindField(key);
    EXPECT_NE(f, nullptr) << key;
    static const CfgField kNone;
    return f ? *f : kNone;
}

// Every field at its largest value, every text full to its room with characters that take
// two bytes in UTF-8 but one in CP1250.
CfgImage AtUpperLimits() {
    CfgImage image = Defaults();
    for (const CfgField& f : CfgCatalogue()) {
        uint8_t* p = At(image, f);
        switch (f.kind) {
        case CfgKind::Text:
            for (size_t i = 0; i < f.Room(); ++i)
                p[i] = f.dialNumber ? (i == 0 ? '+' : '9') : i % 2 ? 0xF8 /* ř */ : 0x80 /* € */;
            p[f.Room()] = 0;
            break;
        case CfgKind::Number:
        case CfgKind::Level:
            *p = static_cast<uint8_t>(f.max);
            break;
        case CfgKind::Flag:
            *p = 1;
            break;
        case CfgKind::Choice:
            *p = static_cast<uint8_t>(f.min <= f.max ? f.max : f.choices.back().value);
            break;
        case CfgKind::Float: {
            const float v = -FLT_MAX;
            std::memcpy(p, &v, sizeof v);
            break;
        }
        case CfgKind::Reserved:
            std::memset(p, 0xFF, f.size);
            break;
        }
    }
    return image;
}

// Every field at its smallest value.
CfgImage AtLowerLimits() {
    CfgImage image = Defaults();
    for (const CfgField& f : CfgCatalogue()) {
        uint8_t* p = At(image, f);
        if (f.kind == CfgKind::Number || f.kind == CfgKind::Level)
            *p = static_cast<uint8_t>(f.min);
        else if (f.kind == CfgKind::Choice)
            *p = static_cast<uint8_t>(f.choices.front().value);
        else if (f.kind == CfgKind::Float) {
            const float v = FLT_TRUE_MIN;
            std::memcpy(p, &v, sizeof v);
        } else
            std::memset(p, 0, f.size);
    }
    return image;
}

CfgImage RoundTrip(const CfgImage& image, bool force, CfgImage base) {
    std::vector<CfgProblem> problems;
    const std::string json = CfgExportJson(image);
    EXPECT_EQ(CfgImportJson(json, base, force, problems), CFG_OK)
        << (problems.empty() ? "" : problems[0].key + ": " + problems[0].detail);
    return base;
}

} // namespace

TEST(CfgCatalogue, CoversEveryByteOfTheImageOnceWithUniqueKeys) {
    std::vector<int> owner(CFG_IMAGE_SIZE, -1);
    std::set<std::string> keys;
    const auto& fields = CfgCatalogue();
    for (size_t i = 0; i < fields.size(); ++i) {
        const CfgField& f = fields[i];
        EXPECT_TRUE(keys.insert(f.key).second) << "twice: " << f.key;
        EXPECT_FALSE(f.label.empty()) << f.key;
        ASSERT_GT(f.size, 0u) << f.key;
        ASSERT_LE(f.offset + f.size, CFG_IMAGE_SIZE) << f.key;
        for (size_t b = f.offset; b < f.offset + f.size; ++b) {
            EXPECT_EQ(owner[b], -1) << f.key << " overlaps " << fields[owner[b]].key;
            owner[b] = static_cast<int>(i);
        }
        if (f.kind == CfgKind::Choice) {
            EXPECT_FALSE(f.choices.empty()) << f.key;
        }
        if (f.kind != CfgKind::Text && f.kind != CfgKind::Reserved && f.kind != CfgKind::Float) {
            EXPECT_EQ(f.size, 1u) << f.key;
        }
        EXPECT_EQ(CfgFieldAt(f.offset), &f);
    }
    for (size_t b = 0; b < CFG_IMAGE_SIZE; ++b)
        EXPECT_NE(owner[b], -1) << "byte " << b << " belongs to no field";
    EXPECT_EQ(CfgFieldAt(CFG_IMAGE_SIZE), nullptr);
    // Only the three alarms without a tree node and the carried bytes are outside the panes.
    size_t carried = 0;
    for (const CfgField& f : fields)
        carried += f.IsCarried() ? 1 : 0;
    EXPECT_EQ(carried, 3u * 4 + 4);
}

// What each pane's control allows (its caption, its character limit or range), walked
// against the catalogue. The panes take their limits from the catalogue; this is the list
// they were drawn from.
TEST(CfgCatalogue, AgreesWithThePanesCaptionsAndLimits) {
    struct Rule {
        size_t offset;
        const char* key;
        int pane;
        const char* label;
        CfgKind kind;
        int a, b; // room of a text; range of a number
    };
    const Rule rules[] = {
        {offsetof(CfgImage, m_szAddDir), "dial.completion", CFG_PANE_CALL_PARS, "doplnění směru",
         CfgKind::Text, 7, 0},
        {offsetof(CfgImage, m_szDelNum), "dial.disallowed_code", CFG_PANE_CALL_PARS,
         "kód pro nepovol.směry", CfgKind::Text, 7, 0},
        {offsetof(CfgImage, m_nMaxNumLen), "dial.max_digits", CFG_PANE_CALL_PARS,
         "maximální počet číslic (3 - 24)", CfgKind::Number, 3, 24},
        {offsetof(CfgImage, m_aszEnDir) + 8 * 15, "dial.enabled[15]", CFG_PANE_EN_DIRS,
         "povolený směr 16", CfgKind::Text, 7, 0},
        {offsetof(CfgImage, m_nCMode), "sim.credit.mode", CFG_PANE_SIM, "Kredit", CfgKind::Choice,
         0, 2},
        {offsetof(CfgImage, m_szCCmd), "sim.credit.command", CFG_PANE_SIM, "na zavolání",
         CfgKind::Text, 8, 0},
        {offsetof(CfgImage, m_fLowVal), "sim.credit.low_value", CFG_PANE_SIM, "minimální hodnota",
         CfgKind::Float, 0, 0},
        {offsetof(CfgImage, m_szPIN), "sim.pin", CFG_PANE_SIM, "PIN", CfgKind::Text, 8, 0},
        {offsetof(CfgImage, m_szMCall), "sim.monthly_call.number", CFG_PANE_SIM, "měsíční volání",
         CfgKind::Text, 20, 0},
        {offsetof(CfgImage, m_nMCallMusic), "sim.monthly_call.melody", CFG_PANE_SIM,
         "melodie pro měsíční volání", CfgKind::Number, 0, 255},
        {offsetof(CfgImage, m_nTone), "sim.tone", CFG_PANE_SIM, "Oznamovací tón", CfgKind::Choice,
         0, 4},
        {offsetof(CfgImage, m_aAlarm) + 129 * 4 + 63, "alarm[4].sms_text", CFG_PANE_ALARM,
         "text SMS", CfgKind::Text, 65, 0},
        {offsetof(CfgImage, m_aAlarm) + 129 * 1 + 21, "alarm[1].sms_numbers[0]", CFG_PANE_ALARM,
         "alarm SMS1", CfgKind::Text, 20, 0},
        {offsetof(CfgImage, m_nSMSMode), "sms.incoming.mode", CFG_PANE_SMS, "Příchozí SMS",
         CfgKind::Choice, 0, 2},
        {offsetof(CfgImage, m_szForwardNum), "sms.incoming.forward_number", CFG_PANE_SMS,
         "přeposlat na číslo", CfgKind::Text, 20, 0},
        {offsetof(CfgImage, m_szInfoSMS), "sms.info.number", CFG_PANE_SMS,
         "číslo pro informační SMS", CfgKind::Text, 20, 0},
        {offsetof(CfgImage, m_szResetTxt), "sms.info.reset_text", CFG_PANE_SMS,
         "text SMS při RESETu", CfgKind::Text, 64, 0},
        {offsetof(CfgImage, m_szCreditTxt), "sms.info.credit_text", CFG_PANE_SMS,
         "text SMS při nízkém kreditu", CfgKind::Text, 64, 0},
        {offsetof(CfgImage, m_nRRingLen), "time.ring_after_init", CFG_PANE_TIME_PARS,
         "vyzvánění po inicializaci (0.1 s)", CfgKind::Number, 0, 255},
        {offsetof(CfgImage, m_nDTimeout2), "time.number_supervision", CFG_PANE_TIME_PARS,
         "doba dohledu čísla (1 s)", CfgKind::Number, 0, 255},
        {offsetof(CfgImage, m_nSCode), "basic.programming_char", CFG_PANE_BASIC,
         "Znak programování", CfgKind::Choice, 0, 1},
        {offsetof(CfgImage, m_nTariff), "basic.tariff", CFG_PANE_BASIC, "Tarifikace",
         CfgKind::Choice, 1, 60},
        {offsetof(CfgImage, m_nAIn), "basic.audio.input", CFG_PANE_BASIC, "vstup", CfgKind::Level,
         0, 100},
        {offsetof(CfgImage, m_nAOut), "basic.audio.output", CFG_PANE_BASIC, "výstup",
         CfgKind::Level, 0, 100},
        {offsetof(CfgImage, m_nRAccess), "basic.remote_access", CFG_PANE_BASIC,
         "povolit vzdálený přístup", CfgKind::Flag, 0, 1},
        {offsetof(CfgImage, m_nRenumEnable), "renum.enabled", CFG_PANE_RENUM, "povoleno",
         CfgKind::Flag, 0, 1},
        {offsetof(CfgImage, m_nPDDelay), "renum.dtmf_delay", CFG_PANE_RENUM,
         "prodleva vysílání DTMF", CfgKind::Number, 0, 255},
        {offsetof(CfgImage, m_nPDWidth), "renum.dtmf_length", CFG_PANE_RENUM, "délka DTMF kódu",
         CfgKind::Number, 3, 10},
        {offsetof(CfgImage, m_aRenum) + 43 * 2 + 21, "renum.entry[2].number", CFG_PANE_RENUM,
         "Výsledná volba", CfgKind::Text, 20, 0},
        {offsetof(CfgImage, m_aRenum) + 43 * 4 + 42, "renum.entry[4].mode", CFG_PANE_RENUM, "Mód",
         CfgKind::Choice, 0, 1},
    };
    for (const Rule& r : rules) {
        SCOPED_TRACE(r.key);
        const CfgField* f = CfgFieldAt(r.offset);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->offset, r.offset);
        EXPECT_EQ(f->key, r.key);
        EXPECT_EQ(f->pane, r.pane);
        EXPECT_EQ(f->label, r.label);
        EXPECT_EQ(f->kind, r.kind);
        if (r.kind == CfgKind::Text) {
            EXPECT_EQ(f->Room(), static_cast<size_t>(r.a));
        }
        // Every value of the control's range is accepted and none outside it.
        if (r.kind == CfgKind::Number || r.kind == CfgKind::Level) {
            EXPECT_EQ(f->min, r.a);
            EXPECT_EQ(f->max, r.b);
        }
        CfgImage image = Defaults();
        for (int v = 0; v < 256 && r.kind != CfgKind::Text && r.kind != CfgKind::Float; ++v) {
            *At(image, *f) = static_cast<uint8_t>(v);
            bool allowed = v >= r.a && v <= r.b;
            if (r.key == std::string("basic.tariff"))
                allowed = allowed || v == 0 || v == 61 || v == 63;
            if (r.key == std::string("renum.entry[4].mode"))
                allowed = allowed || v == 255;
            EXPECT_EQ(CfgCheckField(*f, image) == CFG_OK, allowed) << "value " << v;
        }
    }
    // The alarm groups follow the panes' captions and parameters.
    EXPECT_EQ(Field("alarm[2].call_number").group, "Alarm 3");
    EXPECT_EQ(Field("alarm[2].call_number").paneParam, 2);
    EXPECT_TRUE(Field("alarm[5].sms_text").IsCarried());
    EXPECT_EQ(Field("renum.entry[0].prefix").group, "Přečíslování 1");
}

TEST(CfgCatalogue, ShowsValuesAsThePanesDo) {
    CfgImage image = Defaults();
    struct Case {
        const char* key;
        const char* expected;
    };
    for (const Case& c :
         {Case{"sim.pin", "7093"}, Case{"dial.enabled[9]", "0"}, Case{"dial.enabled[10]", "-"},
          Case{"sim.tone", "K + D"}, Case{"sim.credit.mode", "nezjišťovat"},
          Case{"basic.tariff", "žádná"}, Case{"basic.programming_char", "# (křížek)"},
          Case{"basic.audio.input", "64"}, Case{"renum.enabled", "ano"},
          Case{"basic.remote_access", "ne"}, Case{"sim.credit.low_value", "0"},
          Case{"renum.entry[0].mode", "nepoužito"}, Case{"reserved.audio", "04 01 01 00 01"},
          Case{"alarm[7].sms_text", "Alarm 8"}})
        EXPECT_EQ(CfgValueText(Field(c.key), image), c.expected) << c.key;
    image.m_nTariff = 30;
    image.m_nTone = 7;
    image.m_nSCode = 5;
    image.m_fLowVal = 12.5f;
    std::memcpy(image.m_szMCall, "\xe8\xed\x73\x6c\x6f", 6); // "číslo" in CP1250
    EXPECT_EQ(CfgValueText(Field("basic.tariff"), image), "pulsy v intervalu (s): 30");
    EXPECT_EQ(CfgValueText(Field("sim.tone"), image), "nezvoleno (hodnota 7)");
    EXPECT_EQ(CfgValueText(Field("basic.programming_char"), image), "* (hvězdička) (hodnota 5)");
    EXPECT_EQ(CfgValueText(Field("sim.credit.low_value"), image), "12.5");
    EXPECT_EQ(CfgValueText(Field("sim.monthly_call.number"), image), "číslo");
}

TEST(CfgCatalogue, SettersAcceptWhatThePanesAllowAndNameTheRest) {
    struct Case {
        const char* key;
        const char* text;
        bool force;
        int error;
        uint8_t byte; // the field's first byte afterwards, when accepted
    };
    const Case cases[] = {
        {"dial.max_digits", "24", false, CFG_OK, 24},
        {"dial.max_digits", "25", false, CFG_E_RANGE, 0},
        {"dial.max_digits", "2", false, CFG_E_RANGE, 0},
        {"dial.max_digits", "30", true, CFG_OK, 30},
        {"dial.max_digits", "256", true, CFG_E_RANGE, 0},
        {"dial.max_digits", "9.0", false, CFG_E_TYPE, 0},
        {"dial.max_digits", " 9", false, CFG_E_TYPE, 0},
        {"sim.tone", "continuous", false, CFG_OK, 1},
        {"sim.tone", "K + D", false, CFG_E_CHOICE, 0},
        {"sim.tone", "2", false, CFG_E_CHOICE, 0}, // a number only for a range
        {"sim.tone", "7", true, CFG_OK, 7},
        {"basic.tariff", "polarity", false, CFG_OK, 61},
        {"basic.tariff", "60", false, CFG_OK, 60},
        {"basic.tariff", "62", false, CFG_E_CHOICE, 0},
        {"basic.remote_access", "ano", false, CFG_OK, 1},
        {"basic.remote_access", "false", false, CFG_OK, 0},
        {"basic.remote_access", "2", false, CFG_E_RANGE, 0},
        {"basic.audio.output", "100", false, CFG_OK, 100},
        {"basic.audio.output", "101", false, CFG_E_RANGE, 0},
        {"renum.entry[1].mode", "empty", false, CFG_OK, 255},
        {"sim.pin", "12345678", false, CFG_OK, '1'},
        {"sim.pin", "123456789", false, CFG_E_TOO_LONG, 0},
        {"sim.pin", "ěščřžýáí", false, CFG_OK, 0xEC}, // 16 bytes of UTF-8, 8 in CP1250
        {"sim.pin", "ěščřžýáíé", false, CFG_E_TOO_LONG, 0},
        {"sms.info.reset_text", "Reset \xF0\x9F\x98\x80", false, CFG_E_CHARSET, 0},
        {"sms.info.number", "+420603111222", false, CFG_OK, '+'},
        {"sms.info.number", "", false, CFG_OK, 0},
        {"sms.info.number", "603 111 222", false, CFG_E_DIAL, 0},
        {"alarm[3].call_number", "Jana", false, CFG_E_DIAL, 0},
        {"alarm[3].call_number", "Jana", true, CFG_OK, 'J'},        // as a unit may hold it
        {"sms.info.reset_text", "603 111 222", false, CFG_OK, '6'}, // a text, not a number
        {"sim.credit.low_value", "12,5", false, CFG_OK, 0},
        {"sim.credit.low_value", "1e39", false, CFG_E_RANGE, 0},
        {"sim.credit.low_value", "nan", false, CFG_E_TYPE, 0},
        {"sim.credit.low_value", "0x7fc00000", false, CFG_E_NOT_FINITE, 0},
        {"sim.credit.low_value", "0x7fc00000", true, CFG_OK, 0},
        {"reserved.head", "01 02 03", false, CFG_OK, 1},
        {"reserved.head", "0102", false, CFG_E_BYTES, 0},
        {"reserved.head", "01020x", false, CFG_E_BYTES, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.text);
        const CfgField& f = Field(c.key);
        CfgImage image = Defaults();
        const CfgImage before = image;
        std::string detail;
        EXPECT_EQ(CfgSetFromText(f, c.text, image, c.force, &detail), c.error) << detail;
        if (c.error != CFG_OK) {
            EXPECT_FALSE(detail.empty());
            EXPECT_EQ(BytesOf(image), BytesOf(before));
        } else if (f.kind != CfgKind::Float) {
            EXPECT_EQ(*At(image, f), c.byte);
        }
    }
    CfgImage image = Defaults();
    std::string detail;
    ASSERT_EQ(CfgSetFromText(Field("sim.credit.low_value"), "12,5", image, false), CFG_OK);
    const float threshold = image.m_fLowVal; // a packed field: no reference to it
    EXPECT_EQ(threshold, 12.5f);
    // The emoji is named, so the user knows what to change.
    EXPECT_EQ(
        CfgSetFromText(Field("sms.info.reset_text"), "x\xF0\x9F\x98\x80", image, false, &detail),
        CFG_E_CHARSET);
    EXPECT_NE(detail.find("\xF0\x9F\x98\x80"), std::string::npos);
}

TEST(CfgCatalogue, ChecksFindEveryValueThePanesWouldNotKeep) {
    EXPECT_TRUE(CfgCheckImage(Defaults()).empty());
    EXPECT_TRUE(CfgCheckImage(AtUpperLimits()).empty());
    EXPECT_TRUE(CfgCheckImage(AtLowerLimits()).empty());
    CfgImage image = Defaults();
    image.m_nMaxNumLen = 0;
    image.m_nSCode = 5;
    image.m_nTariff = 62;
    image.m_nRAccess = 2;
    image.m_fLowVal = INFINITY;
    image.m_aRenum[3].m_nMode = 2;
    std::strcpy(image.m_szInfoSMS, "603 111 222");
    std::strcpy(image.m_aAlarm[2].m_szASMS2, "+42O"); // a letter O for a zero
    std::vector<std::string> keys;
    for (const CfgProblem& p : CfgCheckImage(image)) {
        keys.push_back(p.key);
        EXPECT_FALSE(p.detail.empty());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"dial.max_digits", "renum.entry[3].mode",
                                              "sim.credit.low_value", "sms.info.number",
                                              "basic.programming_char", "basic.tariff",
                                              "basic.remote_access", "alarm[2].sms_numbers[1]"}));
}

TEST(CfgJson, DefaultsAndLimitsGoToJsonAndBackByteForByte) {
    CfgImage zero;
    std::memset(&zero, 0, sizeof zero);
    for (const CfgImage& image : {Defaults(), AtUpperLimits(), AtLowerLimits()}) {
        EXPECT_EQ(BytesOf(RoundTrip(image, false, zero)), BytesOf(image));
        EXPECT_EQ(BytesOf(RoundTrip(image, false, AtUpperLimits())), BytesOf(image));
    }
    const std::string json = CfgExportJson(Defaults());
    EXPECT_EQ(json.rfind("{\n  \"format\": \"tk530-config\",\n  \"version\": 1,\n", 0), 0u);
    EXPECT_NE(json.find("\n    \"sim.pin\": \"7093\",\n"), std::string::npos);
    EXPECT_NE(json.find("\n    \"sim.tone\": \"k_d\",\n"), std::string::npos);
    EXPECT_NE(json.find("\n    \"renum.enabled\": true,\n"), std::string::npos);
    EXPECT_NE(json.find("\n    \"reserved.audio\": \"0401010001\",\n"), std::string::npos);
    EXPECT_EQ(json.find("text_tails"), std::string::npos);
}

// Any image the program may have saved (texts terminated in their fields, anything else in
// every byte, as a unit may hand it over) comes back whole, with --force for values outside
// the panes.
TEST(CfgJson, AnyImageTheProgramCouldHaveSavedComesBackWhole) {
    std::mt19937 rng(20);
    for (int round = 0; round < 200; ++round) {
        CfgImage image;
        auto* p = reinterpret_cast<uint8_t*>(&image);
        for (size_t i = 0; i < sizeof image; ++i)
            p[i] = static_cast<uint8_t>(rng() % (round % 2 ? 256 : 4));
        TerminateTexts(image);
        std::vector<CfgProblem> problems;
        CfgImage back = Defaults();
        ASSERT_EQ(CfgImportJson(CfgExportJson(image), back, true, problems), CFG_OK)
            << problems[0].key << ": " << problems[0].detail;
        ASSERT_EQ(BytesOf(back), BytesOf(image)) << "round " << round;
    }
}

TEST(CfgJson, ImportNamesEveryProblemWithItsKeyAndChangesNothing) {
    const std::string json = R"({
  "format": "tk530-config",
  "settings": {
    "dial.max_digits": 25,
    "sim.pin": "123456789",
    "sms.info.reset_text": "Reset \ud83d\ude00",
    "sim.colour": "red",
    "sim.tone": 2,
    "basic.remote_access": "yes",
    "sim.monthly_call.number": "\u0000",
    "sim.credit.low_value": "12.5",
    "sms.info.credit_text": "Kredit je nízký"
  },
  "comment": "x"
})";
    CfgImage image = Defaults();
    std::vector<CfgProblem> problems;
    EXPECT_NE(CfgImportJson(json, image, false, problems), CFG_OK);
    EXPECT_EQ(BytesOf(image), BytesOf(Defaults()));
    struct Expect {
        const char* key;
        int error;
    };
    const Expect expected[] = {
        {"comment", CFG_E_UNKNOWN_KEY},       {"dial.max_digits", CFG_E_RANGE},
        {"sim.pin", CFG_E_TOO_LONG},          {"sms.info.reset_text", CFG_E_CHARSET},
        {"sim.colour", CFG_E_UNKNOWN_KEY},    {"sim.tone", CFG_E_CHOICE},
        {"basic.remote_access", CFG_E_TYPE},  {"sim.monthly_call.number", CFG_E_NUL},
        {"sim.credit.low_value", CFG_E_TYPE},
    };
    ASSERT_EQ(problems.size(), std::size(expected));
    for (size_t i = 0; i < problems.size(); ++i) {
        EXPECT_EQ(problems[i].key, expected[i].key);
        EXPECT_EQ(problems[i].error, expected[i].error) << problems[i].key;
    }
    EXPECT_NE(problems[1].detail.find("řádek 4"), std::string::npos) << problems[1].detail;
    EXPECT_NE(problems[3].detail.find("\xF0\x9F\x98\x80"), std::string::npos);

    // Keys left out keep the base; the others are taken.
    CfgImage base = Defaults();
    base.m_nAIn = 10;
    ASSERT_EQ(CfgImportJson(R"({"settings":{"sim.pin":"ěščř","basic.tariff":30}})", base, false,
                            problems),
              CFG_OK);
    EXPECT_STREQ(base.m_szPIN, "\xEC\x9A\xE8\xF8");
    EXPECT_EQ(base.m_nTariff, 30);
    EXPECT_EQ(base.m_nAIn, 10);
}

TEST(CfgJson, StrictReaderRefusesWhatIsNotPlainJson) {
    const char* bad[] = {
        R"({"settings":{}},)",                           // trailing text
        R"({"settings":{"sim.pin":"1",}})",              // trailing comma
        R"({"settings":{"sim.pin":"1","sim.pin":"2"}})", // a key twice
        R"({"settings":{"sim.pin":"\ud800"}})",          // lone surrogate
        "{\"settings\":{\"sim.pin\":\"\xC3\x28\"}}",     // not UTF-8
        "{\"settings\":{\"sim.pin\":\"a\tb\"}}",         // raw control character
        R"({"settings":{"dial.max_digits":09}})",        // leading zero
        R"({"settings":{"sim.pin":'1'}})",               // single quotes
        R"(// comment
{"settings":{}})",
        "",
    };
    for (const char* doc : bad) {
        CfgImage image = Defaults();
        std::vector<CfgProblem> problems;
        EXPECT_EQ(CfgImportJson(doc, image, false, problems), CFG_E_SYNTAX) << doc;
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_NE(problems[0].detail.find("řádek"), std::string::npos);
    }
    std::string deep(100, '[');
    deep += std::string(100, ']');
    tk::json::Value v;
    EXPECT_FALSE(tk::json::Parse(deep, v));
    // A byte order mark, as editors on Windows write it, is fine; so are the escapes.
    ASSERT_TRUE(tk::json::Parse("\xEF\xBB\xBF{\"a\":[\"\\u00e9\\ud83d\\ude00\\/\",-0.5e+2]}", v));
    EXPECT_EQ(v.Find("a")->items[0].text, "é\xF0\x9F\x98\x80/");
    EXPECT_EQ(v.Find("a")->items[1].text, "-0.5e+2");
    EXPECT_EQ(tk::json::Quote("a\"\\\n\x01\xC2\x81"), "\"a\\\"\\\\\\n\\u0001\\u0081\"");
}

TEST(CfgJson, BytesAfterATextAndOddThresholdsSurviveTheRoundTrip) {
    CfgImage image = Defaults();
    image.m_aAlarm[0].m_szASMS[60] = 'x'; // left behind by the unit after "Alarm 1"
    const uint32_t nan = 0x7FC00001;
    std::memcpy(&image.m_fLowVal, &nan, 4);
    const std::string json = CfgExportJson(image);
    EXPECT_NE(json.find("\"text_tails\": {\n    \"alarm[0].sms_text\": \""), std::string::npos);
    EXPECT_NE(json.find("\"sim.credit.low_value\": \"0x7fc00001\""), std::string::npos);
    CfgImage zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(BytesOf(RoundTrip(image, true, zero)), BytesOf(image));
    // A tail that no longer fits an edited text is refused, not cut.
    std::string edited = json;
    edited.replace(edited.find("\"Alarm 1\""), 9, "\"Požár\"");
    std::vector<CfgProblem> problems;
    CfgImage back = Defaults();
    EXPECT_EQ(CfgImportJson(edited, back, true, problems), CFG_E_TAIL);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].key, "alarm[0].sms_text");
}

TEST(CfgDiff, ListsExactlyTheFieldsThatDifferWithTheirCaptions) {
    const CfgImage a = Defaults();
    CfgImage b = a;
    EXPECT_TRUE(CfgDiff(a, b).empty());
    std::strcpy(b.m_szPIN, "1234");
    b.m_nTone = 1;
    std::strcpy(b.m_aAlarm[2].m_szACall, "+420123");
    b.m_aAlarm[3].m_szASMS[40] = 'z'; // after the text's end: not a difference
    const std::vector<CfgDiffEntry> diff = CfgDiff(a, b);
    ASSERT_EQ(diff.size(), 3u);
    EXPECT_EQ(diff[0].field->key, "sim.pin");
    EXPECT_EQ(diff[0].field->label, "PIN");
    EXPECT_EQ(diff[0].oldText, "7093");
    EXPECT_EQ(diff[0].newText, "1234");
    EXPECT_EQ(diff[1].field->key, "sim.tone");
    EXPECT_EQ(diff[1].oldText, "K + D");
    EXPECT_EQ(diff[1].newText, "trvalý");
    EXPECT_EQ(diff[2].field->key, "alarm[2].call_number");
    EXPECT_EQ(diff[2].field->pane, CFG_PANE_ALARM);
    EXPECT_EQ(diff[2].field->paneParam, 2);
    EXPECT_EQ(diff[2].field->group, "Alarm 3");
    EXPECT_EQ(diff[2].newText, "+420123");
}
