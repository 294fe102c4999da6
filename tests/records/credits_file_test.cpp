// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/credits_file.h"

#include <gtest/gtest.h>

using namespace awardsync;

namespace {

const CreditsHeader Header{.owner = {.service = "https://lotw.example", .user = "Q1ABC", .account = 12},
                           .programVersion = "1.0",
                           .created = QDateTime(QDate(2026, 12, 8), QTime(4, 5, 6), Qt::UTC)};

const std::string HeaderBytes = "DXCC credits of LoTW account 12, downloaded by Awardsync\r\n"
                                "<ADIF_VER:5>3.1.4\r\n"
                                "<PROGRAMID:9>awardsync\r\n"
                                "<PROGRAMVERSION:3>1.0\r\n"
                                "<CREATED_TIMESTAMP:15>20261208 040506\r\n"
                                "<APP_AWARDSYNC_SERVICE:20>https://lotw.example\r\n"
                                "<APP_AWARDSYNC_USER:5>Q1ABC\r\n"
                                "<APP_AWARDSYNC_ACCOUNT:2>12\r\n"
                                "<EOH>\r\n";

TEST(CreditsFile, HeaderThenOneRecordPerLine) {
    struct Case {
        const char* what;
        CreditsRecord record;
        std::string bytes;
    };
    const Case cases[] = {
        {"every field",
         {"Q1ABC|001|2009/07/14|18:05:00|RTTY|17M|LoTW|",
          {"DXCC", "DXCC_MODE", "DXCC_BAND"},
          {"DXCC-M", "DXCC-RTTY", "DXCC-17", "DXCC-CHAL"}},
         "<CALL:5>Q1ABC <QSO_DATE:8>20090714 <TIME_ON:6>180500 <BAND:3>17M <MODE:4>RTTY "
         "<APP_AWARDSYNC_MODEGROUP:4>DATA <DXCC:1>1 <CREDIT_GRANTED:39>DXCC:LOTW,DXCC_MODE:LOTW,DXCC_BAND:LOTW "
         "<APP_AWARDSYNC_AWARDS:34>DXCC-M,DXCC-RTTY,DXCC-17,DXCC-CHAL <EOR>\r\n"},
        {"no time, PHONE is no mode, entity 000, a card",
         {"Q2AB|000|2010/01/02||PHONE|20M|QSL|", {"DXCC_BAND"}, {"DXCC-20"}},
         "<CALL:4>Q2AB <QSO_DATE:8>20100102 <BAND:3>20M <APP_AWARDSYNC_MODEGROUP:5>PHONE "
         "<CREDIT_GRANTED:14>DXCC_BAND:CARD <APP_AWARDSYNC_AWARDS:7>DXCC-20 <EOR>\r\n"},
        {"a time without seconds, DATA is no mode",
         {"Q3AB|230|2011/02/03|04:05|DATA|6M|LoTW|", {"DXCC_SATELLITE"}, {"DXCC-SAT"}},
         "<CALL:4>Q3AB <QSO_DATE:8>20110203 <TIME_ON:6>040500 <BAND:2>6M <APP_AWARDSYNC_MODEGROUP:4>DATA "
         "<DXCC:3>230 <CREDIT_GRANTED:19>DXCC_SATELLITE:LOTW <APP_AWARDSYNC_AWARDS:8>DXCC-SAT <EOR>\r\n"},
        {"a non-ASCII call counts bytes, SSB is a mode",
         {"\xC3\x84"
          "1AB|339|2012/03/04|05:06:07|SSB|40M|LoTW|",
          {"DXCC"},
          {"DXCC-M"}},
         "<CALL:5>\xC3\x84"
         "1AB <QSO_DATE:8>20120304 <TIME_ON:6>050607 <BAND:3>40M <MODE:3>SSB <APP_AWARDSYNC_MODEGROUP:5>PHONE "
         "<DXCC:3>339 <CREDIT_GRANTED:9>DXCC:LOTW <APP_AWARDSYNC_AWARDS:6>DXCC-M <EOR>\r\n"},
        {"a date in another form is left out",
         {"Q4AB|001|2012-03-04|||10M|QSL|", {}, {}},
         "<CALL:4>Q4AB <BAND:3>10M <DXCC:1>1 <EOR>\r\n"},
        {"not a record line", {"Q5AB|001|", {"DXCC"}, {"DXCC-M"}}, ""},
        {"the page's address and line, for the next run",
         {"Q6AB|001|2012/03/04||SSB|20M|QSL|",
          {},
          {},
          "https://lotw.example/qsodetail?qso=6",
          "Q6AB|001|2012/03/04||PHONE|20M|QSL|"},
         "<CALL:4>Q6AB <QSO_DATE:8>20120304 <BAND:3>20M <MODE:3>SSB <APP_AWARDSYNC_MODEGROUP:5>PHONE <DXCC:1>1 "
         "<APP_AWARDSYNC_QSO_URL:36>https://lotw.example/qsodetail?qso=6 "
         "<APP_AWARDSYNC_RECORD:35>Q6AB|001|2012/03/04||PHONE|20M|QSL| <EOR>\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(creditsFileContent(Header, {c.record}), HeaderBytes + c.bytes);
    }
}

TEST(CreditsFile, ANextRunReadsBackWhatItNeeds) {
    const CreditsRecord written[] = {
        {"Q1ABC|001|2009/07/14|18:05:00|SSB|17M|LoTW|",
         {"DXCC"},
         {"DXCC-M", "DXCC-17"},
         "https://x/q?a=1&b=<2>",
         "Q1ABC|001|2009/07/14|18:05:00|PHONE|17M|LoTW|"},
        {"Q2ABC|001|2009/07/14|18:05:00|CW|17M|LoTW|", {}, {}, "", ""}, // from an earlier version: no address
    };
    const KnownCredits known = readKnownCredits(creditsFileContent(Header, {written[0], written[1]}));
    EXPECT_EQ(known.owner.service, "https://lotw.example");
    EXPECT_EQ(known.owner.user, "Q1ABC");
    EXPECT_EQ(known.owner.account, 12);
    ASSERT_EQ(known.credits.size(), 1u);
    EXPECT_EQ(known.credits[0].address, "https://x/q?a=1&b=<2>");
    EXPECT_EQ(known.credits[0].pageLine, "Q1ABC|001|2009/07/14|18:05:00|PHONE|17M|LoTW|");
    EXPECT_EQ(known.credits[0].awards, (std::vector<std::string>{"DXCC-M", "DXCC-17"}));
    // Whatever else a file holds, reading it never fails and finds nothing that is not there.
    for (std::string_view junk : {"", "<EOH>", "<APP_AWARDSYNC_QSO_URL:999999>x<EOR>", "<a:b><:1>", "<EOH><EOR><EOR"}) {
        EXPECT_TRUE(readKnownCredits(junk).credits.empty()) << junk;
    }
}

} // namespace
