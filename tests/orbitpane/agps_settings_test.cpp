// The AGPS settings' checks as one table: each field with values it takes and values it
// refuses, and the key of the message a refusal shows.
#include <gtest/gtest.h>

#include <string>

#include "orbitpane/session/agps_settings.h"

namespace {

enum class Field { kApn, kSupl };

struct Row {
    Field field;
    std::string value;
    const wchar_t* key;  // null: accepted
};

constexpr const wchar_t* kApn = L"IDS_STATIC_CHECK_APN";
constexpr const wchar_t* kSupl = L"IDS_STATIC_CHECK_SUPL";

}  // namespace

TEST(AgpsSettings, EachFieldTakesItsAlphabetAndRefusesWhatCouldBreakTheLine) {
    const Row rows[] = {
        {Field::kApn, "web.example", nullptr},
        {Field::kApn, "Internet-2.Example.MNC001.MCC001.GPRS", nullptr},
        {Field::kApn, "a", nullptr},
        {Field::kApn, std::string(100, 'x'), nullptr},
        {Field::kApn, std::string(101, 'x'), kApn},
        {Field::kApn, std::string(128, 'x'), kApn},
        {Field::kApn, "", kApn},
        {Field::kApn, "my\"apn;AT+CFUN=0", kApn},
        {Field::kApn, "my;apn", kApn},
        {Field::kApn, "web example", kApn},
        {Field::kApn, " web.example", kApn},
        {Field::kApn, "web.example\r\nAT+CFUN=0", kApn},
        {Field::kApn, "\xE3\x82\xA2\xE3\x82\xAF\xE3\x82\xBB\xE3\x82\xB9", kApn},  // katakana
        {Field::kApn, "caf\xC3\xA9", kApn},
        {Field::kApn, "web_example", kApn},
        {Field::kApn, ".web", kApn},
        {Field::kApn, "web.", kApn},
        {Field::kApn, "web..example", kApn},
        {Field::kApn, std::string("web\0x", 5), kApn},

        {Field::kSupl, "supl.example.com", nullptr},
        {Field::kSupl, "supl.example.com:7275", nullptr},
        {Field::kSupl, "SUPL-1.example.com:1", nullptr},
        {Field::kSupl, "localhost:65535", nullptr},
        {Field::kSupl, "192.0.2.10:7275", nullptr},
        {Field::kSupl, "[2001:db8::1]:7275", nullptr},
        {Field::kSupl, "[::1]", nullptr},
        {Field::kSupl, "3com.example", nullptr},
        {Field::kSupl, std::string(63, 'a') + ".example", nullptr},
        {Field::kSupl, std::string(64, 'a') + ".example", kSupl},
        {Field::kSupl, "bad server:99999", kSupl},
        {Field::kSupl, "supl.example.com:99999", kSupl},
        {Field::kSupl, "supl.example.com:0", kSupl},
        {Field::kSupl, "supl.example.com:", kSupl},
        {Field::kSupl, "supl.example.com:+7", kSupl},
        {Field::kSupl, "supl.example.com:72a", kSupl},
        {Field::kSupl, "supl.example.com:7275:1", kSupl},
        {Field::kSupl, "", kSupl},
        {Field::kSupl, ":7275", kSupl},
        {Field::kSupl, "supl.example.com;AT+CFUN=0", kSupl},
        {Field::kSupl, "supl\"example", kSupl},
        {Field::kSupl, "-supl.example.com", kSupl},
        {Field::kSupl, "supl-.example.com", kSupl},
        {Field::kSupl, "supl..example.com", kSupl},
        {Field::kSupl, "supl.example.com.", kSupl},
        {Field::kSupl, "999.0.2.10", kSupl},
        {Field::kSupl, "192.0.2", kSupl},
        {Field::kSupl, "2001:db8::1", kSupl},
        {Field::kSupl, "[2001:db8::zz]:7275", kSupl},
        {Field::kSupl, "[2001:db8::1]7275", kSupl},
        {Field::kSupl, "[2001:db8::1", kSupl},
        {Field::kSupl, "s\xC3\xBCpl.example.com", kSupl},
        {Field::kSupl, std::string(250, 'a') + ".com", kSupl},
    };
    for (const Row& row : rows) {
        const wchar_t* key = row.field == Field::kApn ? session::ApnProblem(row.value)
                                                      : session::SuplServerProblem(row.value);
        const std::wstring got = key ? key : L"(accepted)";
        const std::wstring want = row.key ? row.key : L"(accepted)";
        EXPECT_EQ(got, want) << (row.field == Field::kApn ? "APN " : "SUPL ") << '"' << row.value
                             << '"';
    }
}
