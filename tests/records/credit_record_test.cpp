// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/string_list.h"
#include "records/credit_record.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <utility>

using awardsync::buildRecordLine;
using awardsync::NameValueList;
using awardsync::SortedStringList;

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

NameValueList fieldsOf(const Fields& items) {
    NameValueList fields;
    for (const auto& [name, value] : items) {
        fields.setValue(name, value);
    }
    return fields;
}

const Fields workedExample = {{"Worked", "Q1ABC"},     {"Date/Time", "2009-07-14 18:05:00"},
                              {"Mode", "PHONE (SSB)"}, {"DXCC", "EXAMPLE ISLAND (1)"},
                              {"Band", "20M"},         {"QSL", "Yes"}};

TEST(CreditRecord, WorkedExampleWithAndWithoutPhoneToSsb) {
    const NameValueList fields = fieldsOf(workedExample);
    EXPECT_EQ(buildRecordLine(fields, true), "Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|");
    EXPECT_EQ(buildRecordLine(fields, false), "Q1ABC|001|2009/07/14|18:05:00|PHONE|20M|LoTW|");

    NameValueList withoutQsl = fieldsOf(workedExample);
    withoutQsl.setValue("QSL", "");
    EXPECT_EQ(buildRecordLine(withoutQsl, true), "Q1ABC|001|2009/07/14|18:05:00|SSB|20M|QSL|");
}

TEST(CreditRecord, EdgeCases) {
    struct Case {
        const char* what;
        Fields fields;
        bool phoneToSsb;
        std::string expected;
    };
    const Case cases[] = {
        {"all names missing", {}, true, "|000|||||QSL|"},
        {"blank date-time falls back to date",
         {{"Date/Time", " \t "}, {"Date", "2009-07-14"}},
         false,
         "|000|2009/07/14||||QSL|"},
        {"date-time wins over date",
         {{"Date/Time", "2009-07-14 18:05"}, {"Date", "2001-01-01"}},
         false,
         "|000|2009/07/14|18:05|||QSL|"},
        {"date-time trimmed of blanks and controls",
         {{"Date/Time", "\r\n 2009-07-14 18:05:00\t"}},
         false,
         "|000|2009/07/14|18:05:00|||QSL|"},
        {"date-time of ten characters", {{"Date/Time", "2009-07-14"}}, false, "|000|2009/07/14||||QSL|"},
        {"date-time of eleven characters", {{"Date/Time", "2009-07-14T"}}, false, "|000|2009/07/14||||QSL|"},
        {"date-time of twelve characters", {{"Date/Time", "2009-07-14T1"}}, false, "|000|2009/07/14|1|||QSL|"},
        {"short date-time", {{"Date/Time", "2009-07"}}, false, "|000|2009/07||||QSL|"},
        {"date-time counts characters, not bytes",
         {{"Date/Time", "2009-07-\xC3\x84\xC3\x84 18:05"}},
         false,
         "|000|2009/07/\xC3\x84\xC3\x84|18:05|||QSL|"},
        {"mode without bracket is empty", {{"Mode", "PHONE"}}, true, "|000|||||QSL|"},
        {"mode of only a bracket", {{"Mode", "(SSB)"}}, true, "|000|||||QSL|"},
        {"mode with blanks becomes SSB", {{"Mode", " \tPHONE  (SSB)"}}, true, "|000|||SSB||QSL|"},
        {"mode with blanks, option off", {{"Mode", " \tPHONE  (SSB)"}}, false, "|000|||PHONE||QSL|"},
        {"other letter case is kept", {{"Mode", "Phone (SSB)"}}, true, "|000|||Phone||QSL|"},
        {"only exactly PHONE changes", {{"Mode", "PHONES (X)"}}, true, "|000|||PHONES||QSL|"},
        {"no-break space is not trimmed", {{"Mode", "\xC2\xA0PHONE (SSB)"}}, true, "|000|||\xC2\xA0PHONE||QSL|"},
        {"other modes unchanged", {{"Mode", "CW (CW)"}}, true, "|000|||CW||QSL|"},
        {"DXCC without closing bracket", {{"DXCC", "EXAMPLE ISLAND (1"}}, false, "|000|||||QSL|"},
        {"DXCC without opening bracket", {{"DXCC", "291)"}}, false, "|291|||||QSL|"},
        {"DXCC of four digits keeps the last three", {{"DXCC", "X (1234)"}}, false, "|234|||||QSL|"},
        {"DXCC of two digits with blanks", {{"DXCC", "X ( 45 )"}}, false, "|045|||||QSL|"},
        {"DXCC non-digits are not rejected", {{"DXCC", "X (AB)"}}, false, "|0AB|||||QSL|"},
        {"DXCC counts characters, not bytes",
         {{"DXCC", "X (\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F)"}},
         false,
         "|\xC3\x96\xC3\x9C\xC3\x9F|||||QSL|"},
        {"DXCC without brackets", {{"DXCC", "UNITED STATES"}}, false, "|000|||||QSL|"},
        {"a bar in a value is written unchanged",
         {{"Worked", "Q1|ABC"}, {"Band", "20|M"}},
         false,
         "Q1|ABC|000||||20|M|QSL|"},
        {"call and band are not trimmed",
         {{"Worked", " Q1ABC "}, {"Band", " 20M\t"}},
         false,
         " Q1ABC |000|||| 20M\t|QSL|"},
        {"any QSL value means LoTW", {{"QSL", "x"}}, false, "|000|||||LoTW|"},
        {"field names ignore letter case", {{"worked", "Q1ABC"}, {"qsl", "x"}}, false, "Q1ABC|000|||||LoTW|"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(buildRecordLine(fieldsOf(c.fields), c.phoneToSsb), c.expected) << c.what;
    }
}

// Records of a run, as the download run keeps them.
std::vector<std::string> recordsOf(const std::vector<Fields>& qsos) {
    SortedStringList records(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const Fields& qso : qsos) {
        records.add(buildRecordLine(fieldsOf(qso), true));
    }
    return records.lines();
}

TEST(CreditRecord, LinesDifferingOnlyInCaseAreOneRecord) {
    Fields lower = workedExample;
    lower[0].second = "q1abc";
    EXPECT_EQ(recordsOf({lower, workedExample, workedExample}),
              (std::vector<std::string>{"q1abc|001|2009/07/14|18:05:00|SSB|20M|LoTW|"}));
}

TEST(CreditRecord, RecordsOrderedByWholeLineIgnoringCase) {
    const std::vector<std::string> lines = recordsOf({
        {{"Worked", "Q1ABD"}, {"Band", "10M"}},
        {{"Worked", "q1abc"}, {"Band", "40M"}},
        {{"Worked", "Q1ABC"}, {"Band", "160M"}},
        {{"Worked", "Q1ABC"}, {"DXCC", "X (2)"}},
    });
    EXPECT_EQ(lines, (std::vector<std::string>{"Q1ABC|000||||160M|QSL|", "q1abc|000||||40M|QSL|", "Q1ABC|002|||||QSL|",
                                               "Q1ABD|000||||10M|QSL|"}));
}

} // namespace
