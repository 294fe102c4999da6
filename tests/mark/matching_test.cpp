// SPDX-License-Identifier: GPL-3.0-or-later
// The matching rules, case by case, against one small log: which QSO a record line marks, or the
// reason the report gives when it marks none.
#include "mark/marking.h"
#include "records/credit_record.h"
#include "tests/support/mark_fixtures.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

using namespace awardsync;

// Log line numbers in the reasons are these lines (the header is line 1).
const std::string Log =
    "test log<EOH>\n"
    "<CALL:5>Q1ABC<BAND:3>20m<MODE:3>SSB<QSO_DATE:8>20090714<TIME_ON:4>1805<EOR>\n"               // 2
    "<CALL:5>Q1ABC<BAND:3>20M<MODE:2>CW<QSO_DATE:8>20090714<TIME_ON:6>180500<DXCC:4>0291<EOR>\n"  // 3
    "<CALL:4>Q2BB<BAND:3>40M<MODE:2>FM<QSO_DATE:8>20100101<TIME_ON:4>2350<EOR>\n"                 // 4
    "<CALL:4>Q3CC<BAND:3>15M<MODE:4>MFSK<SUBMODE:3>FT4<QSO_DATE:8>20110505<TIME_ON:4>1200<EOR>\n" // 5
    "<CALL:4>Q4DD<BAND:2>6M<MODE:12>DIGITALVOICE<QSO_DATE:8>20120606<TIME_ON:4>0600<EOR>\n"       // 6
    "<CALL:4>Q5EE<BAND:3>10M<MODE:4>SSTV<QSO_DATE:8>20130707<TIME_ON:4>0700<EOR>\n"               // 7
    "<CALL:4>Q6FF<BAND:3>80M<MODE:2>CW<QSO_DATE:8>20140808<TIME_ON:4>0800<EOR>\n"                 // 8
    "<CALL:4>Q6FF<BAND:3>80M<MODE:2>CW<QSO_DATE:8>20140808<TIME_ON:4>0820<EOR>\n"                 // 9
    "<CALL:4>Q7GG<BAND:3>20M<MODE:4>RTTY<QSO_DATE:8>20150909<TIME_ON:4>0900<EOR>\n"               // 10
    "<CALL:4>Q7GG<BAND:3>20M<MODE:4>RTTY<QSO_DATE:8>20150909<TIME_ON:4>1000<EOR>\n"               // 11
    "<CALL:4>Q8HH<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20160101<TIME_ON:4>1200<DXCC:1>1<EOR>\n"       // 12
    "<CALL:4>Q8HH<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20160101<TIME_ON:4>1200<EOR>\n"                // 13
    "<CALL:4>Q8HH<BAND:3>20M<MODE:2>CW<QSO_DATE:8>20160101<TIME_ON:4>1200<EOR>\n"                 // 14
    "<CALL:4>Q8HH<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20160101<TIME_ON:4>1200<DXCC:1>1<EOR>\n"       // 15
    "<CALL:4>Q8HH<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20160101<TIME_ON:4>1200<EOR>\n";               // 16

struct Case {
    const char* what;
    const char* line;
    int markedLogLine;  // 0: not marked
    const char* reason; // part of the report line, when not marked
};

const Case Cases[] = {
    {"call and band ignore letter case", "q1abc|000|2009/07/14|18:05:00|PHONE|20M|LoTW|", 2, ""},
    {"SSB record word is PHONE", "Q1ABC|000|2009/07/14|18:05:00|SSB|20M|LoTW|", 2, ""},
    {"CW only meets CW", "Q1ABC|000|2009/07/14|18:05:00|CW|20M|LoTW|", 3, ""},
    {"DXCC 291 equals 0291", "Q1ABC|291|2009/07/14|18:05:00|CW|20M|LoTW|", 3, ""},
    {"QSO without DXCC matches any number", "Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|", 2, ""},
    {"FM is PHONE", "Q2BB|000|2010/01/01|23:50:00|PHONE|40M|QSL|", 4, ""},
    {"30 minutes across midnight", "Q2BB|000|2010/01/02|00:20:00|PHONE|40M|QSL|", 4, ""},
    {"31 minutes is too far", "Q2BB|000|2010/01/02|00:21:00|PHONE|40M|QSL|", 0,
     "the nearest QSO is 31 minutes earlier"},
    {"HH:MM record time", "Q2BB|000|2010/01/01|23:55|PHONE|40M|QSL|", 4, ""},
    {"submode never moves the group", "Q3CC|000|2011/05/05|12:00:00|DATA|15M|LoTW|", 5, ""},
    {"an ADIF mode as record word takes its group", "Q3CC|000|2011/05/05|12:00:00|FT8|15M|LoTW|", 5, ""},
    {"DIGITALVOICE is PHONE", "Q4DD|000|2012/06/06|06:00:00|PHONE|6M|LoTW|", 6, ""},
    {"DIGITALVOICE is DATA", "Q4DD|000|2012/06/06|06:00:00|DATA|6M|LoTW|", 6, ""},
    {"SSTV is IMAGE", "Q5EE|000|2013/07/07|07:00:00|IMAGE|10M|LoTW|", 7, ""},
    {"empty record mode matches any group", "Q5EE|000|2013/07/07|07:00:00||10M|LoTW|", 7, ""},
    {"RTTY record word is DATA", "Q7GG|000|2015/09/09|09:10:00|RTTY|20M|LoTW|", 10, ""},
    {"nearest wins", "Q6FF|000|2014/08/08|08:09:00|CW|80M|QSL|", 8, ""},
    {"date alone, one QSO that day", "Q5EE|000|2013/07/07||IMAGE|10M|QSL|", 7, ""},
    {"no such call", "Q9ZZ|000|2009/07/14|18:05:00|SSB|20M|LoTW|", 0, "no QSO with Q9ZZ in the log"},
    {"call, not band", "Q2BB|000|2010/01/01|23:50:00|PHONE|20M|LoTW|", 0,
     "Q2BB is in the log, but not on 20M; nearest: Q2BB 2010-01-01 23:50 40M FM (log line 4)"},
    {"band, not mode group", "Q3CC|000|2011/05/05|12:00:00|CW|15M|LoTW|", 0,
     "not in the CW mode group; nearest: Q3CC 2011-05-05 12:00 15M MFSK (log line 5)"},
    {"DXCC differs", "Q1ABC|001|2009/07/14|18:05:00|CW|20M|LoTW|", 0,
     "DXCC differs: the credit has 1, the nearest QSO 291: Q1ABC 2009-07-14 18:05:00 20M CW DXCC 291 (log line 3)"},
    {"another date", "Q2BB|000|2010/01/03||PHONE|40M|QSL|", 0, "the nearest QSO is on another date: Q2BB 2010-01-01"},
    {"equally near", "Q6FF|000|2014/08/08|08:10:00|CW|80M|QSL|", 0,
     "ambiguous, 2 QSOs equally near: Q6FF 2014-08-08 08:00 80M CW (log line 8); Q6FF 2014-08-08 08:20 80M CW "
     "(log line 9)"},
    {"date alone, two QSOs", "Q6FF|000|2014/08/08||CW|80M|QSL|", 0, "ambiguous, 2 QSOs on that date"},
    // QSOs of one time, told apart by mode and DXCC: the first three in log order are named.
    {"equal QSOs, named in log order", "Q8HH|000|2016/01/01|12:00:00|SSB|20M|LoTW|", 0,
     "ambiguous, 4 QSOs equally near: Q8HH 2016-01-01 12:00 20M SSB (log line 12); Q8HH 2016-01-01 12:00 20M SSB "
     "(log line 13); Q8HH 2016-01-01 12:00 20M SSB (log line 15) and 1 more"},
    {"equal QSOs, one of the mode", "Q8HH|001|2016/01/01|12:00:00|CW|20M|LoTW|", 14, ""},
    {"equal QSOs, the nearest in log order", "Q8HH|001|2016/01/01|12:00:00|RTTY|20M|LoTW|", 0,
     "not in the DATA mode group; nearest: Q8HH 2016-01-01 12:00 20M SSB (log line 12)"},
    {"not seven fields", "Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW", 0, "not a record line"},
    {"bar inside a value", "Q1|ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|", 0, "not a record line"},
    {"bad date", "Q1ABC|001|2009/02/30|18:05:00|SSB|20M|LoTW|", 0, "the date \"2009/02/30\" is not a date"},
};

// Every row is checked, however many fail before it.
TEST(Matching, EachRule) {
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.what);
        const std::string records = std::string(c.line) + "\r\n"; // the result points into it
        const mark::MarkedLog marked = mark::markContent(records, Log, true, "r", "l");
        const std::string output = awardsync::testing::joined(marked.output);
        const std::string report = marked.unmatched.empty() ? "" : mark::reportLine(marked.unmatched[0]);
        if (c.markedLogLine == 0) {
            EXPECT_EQ(marked.unmatched.size(), 1u);
            EXPECT_NE(report.find(c.reason), std::string::npos) << report;
            EXPECT_EQ(report.rfind("line 1 " + std::string(c.line) + ": ", 0), 0u) << report;
            EXPECT_EQ(awardsync::testing::joined(marked.bad), std::string(c.line) + "\r\n");
            EXPECT_EQ(output, "test log<EOH>\n");
        } else {
            EXPECT_TRUE(marked.unmatched.empty()) << report;
            const std::size_t lineBegin = [&] {
                std::size_t pos = 0;
                for (int i = 1; i < c.markedLogLine; ++i) {
                    pos = Log.find('\n', pos) + 1;
                }
                return pos;
            }();
            const std::size_t eor = Log.find("<EOR>", lineBegin);
            const std::string medium = std::string(c.line).find("|QSL|") != std::string::npos ? "CARD" : "LOTW";
            EXPECT_EQ(output, "test log<EOH>\n" + Log.substr(lineBegin, eor - lineBegin) +
                                  "<CREDIT_GRANTED:9>DXCC:" + medium + "<EOR>\n");
        }
    }
}

TEST(Matching, SeveralCreditsOnOneQsoMergeAndCount) {
    const std::string records = "Q1ABC|000|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n"
                                "Q1ABC|000|2009/07/14|18:06:00|SSB|20M|QSL|\n"
                                "\r\n"
                                "Q6FF|000|2014/08/08||CW|80M|QSL|\r\n";
    const mark::MarkedLog marked = mark::markContent(records, Log, false, "r", "l");
    const std::string output = awardsync::testing::joined(marked.output);
    EXPECT_NE(output.find("<TIME_ON:4>1805<CREDIT_GRANTED:14>DXCC:LOTW&CARD<EOR>"), std::string::npos);
    EXPECT_EQ(output.size(), Log.size() + std::string("<CREDIT_GRANTED:14>DXCC:LOTW&CARD").size());
    EXPECT_EQ(marked.unmatched.size(), 1u);
    EXPECT_EQ(mark::reportLine(marked.unmatched[0]).rfind("line 4 ", 0),
              0u); // the blank line 3 is no credit, but counts as a line
    const std::vector<std::string> summary = mark::summaryLines(marked.summary);
    EXPECT_EQ(summary,
              (std::vector<std::string>{"Credits read: 3", "Matched: 2 (LoTW 1, card 1)", "Unmatched: 1 (ambiguous 1)",
                                        "QSOs marked: 1", "Marked: DXCC 1", "QSOs already holding the credit: 0"}));
}

// Credits in a row that match alike are matched once; one that differs in band or mode is matched anew.
TEST(Matching, CreditsInARowDifferingOnlyInBandOrModeAreMatchedAnew) {
    std::string records;
    for (const char* rest : {"CW|20M|LoTW|", "CW|20M|QSL|", "CW|40M|LoTW|", "SSB|20M|LoTW|"}) {
        records += "Q8HH|001|2016/01/01|12:00:00|" + std::string(rest) + "\r\n";
    }
    const mark::MarkedLog marked = mark::markContent(records, Log, false, "r", "l");
    EXPECT_EQ(marked.summary.matchedLotw + marked.summary.matchedCard, 2u);
    ASSERT_EQ(marked.unmatched.size(), 2u);
    EXPECT_NE(mark::reportLine(marked.unmatched[0])
                  .find("line 3 Q8HH|001|2016/01/01|12:00:00|CW|40M|LoTW|: Q8HH is "
                        "in the log, but not on 40M"),
              std::string::npos);
    EXPECT_NE(mark::reportLine(marked.unmatched[1]).find("ambiguous, 4 QSOs"), std::string::npos);
}

TEST(Matching, MarkingAgainChangesNothingAndForeignCreditListsStay) {
    const std::string records = "Q1ABC|000|2009/07/14|18:05:00|SSB|20M|LoTW|\r\nQ2BB|000|2010/01/01||FM|40M|QSL|\r\n";
    const std::string log = "<CALL:5>Q1ABC<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20090714<TIME_ON:4>1805"
                            "<credit_granted:4:S>DXCC<EOR>\n"
                            "<CALL:4>Q2BB<BAND:3>40M<MODE:2>FM<QSO_DATE:8>20100101<TIME_ON:4>2350"
                            "<CREDIT_GRANTED:9>DXCC:C\xC3\x84RD<EOR>\n";
    const mark::MarkedLog marked = mark::markContent(records, log, false, "r", "l");
    const std::string output = awardsync::testing::joined(marked.output);
    EXPECT_EQ(output, log);
    EXPECT_EQ(marked.summary.qsosAlready, 1u);
    ASSERT_EQ(marked.unmatched.size(), 1u);
    EXPECT_NE(mark::reportLine(marked.unmatched[0]).find("the QSO's CREDIT_GRANTED is not a credit list"),
              std::string::npos);
}

TEST(Matching, RecordLinesSplitAsTheyAreBuilt) {
    const auto fields = splitRecordLine("Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|");
    ASSERT_TRUE(fields);
    EXPECT_EQ((*fields)[RecordField::Call], "Q1ABC");
    EXPECT_EQ((*fields)[RecordField::Time], "18:05:00");
    EXPECT_EQ((*fields)[RecordField::Kind], RecordKindLotw);
    EXPECT_TRUE(splitRecordLine("|000|||||QSL|"));
    EXPECT_FALSE(splitRecordLine("|000|||||QSL|x"));
    EXPECT_FALSE(splitRecordLine("|000||||QSL|"));
}

} // namespace

// A long list of one call and band, most of it of one mode: the explanation of a credit of another mode
// or DXCC names the same nearest QSO as a walk over the whole list would.
TEST(Matching, ExplanationsInALongListOfOneMode) {
    std::string log = "<EOH>\n";
    const auto qso = [&](const char* mode, const char* date, const char* time, const char* dxcc) {
        log += "<CALL:2>Q9<BAND:3>20M<MODE:" + std::to_string(std::strlen(mode)) + ">" + mode + "<QSO_DATE:8>" + date +
               "<TIME_ON:4>" + time + (*dxcc != 0 ? "<DXCC:3>" + std::string(dxcc) : "") + "<EOR>\n";
    };
    for (int day = 1; day <= 28; ++day) { // lines 2 to 197: CW, seven a day
        for (const char* time : {"0000", "0300", "0600", "0900", "1200", "1500", "1800"}) {
            qso("CW", ("202001" + std::string(day < 10 ? "0" : "") + std::to_string(day)).c_str(), time, "001");
        }
    }
    qso("SSB", "20200301", "1200", "291"); // 198
    qso("RTTY", "20200210", "1400", "");   // 199
    qso("RTTY", "20200210", "1000", "");   // 200
    qso("CW", "20200215", "1200", "");     // 201
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"Q9|000|2020/01/15|13:00:00|IMAGE|20M|LoTW|",
         "not in the IMAGE mode group; nearest: Q9 2020-01-15 12:00 20M CW (log line 104)"},
        {"Q9|001|2020/03/01|12:00:00|SSB|20M|LoTW|",
         "DXCC differs: the credit has 1, the nearest QSO 291: Q9 2020-03-01 12:00 20M SSB DXCC 291 (log line 198)"},
        {"Q9|291|2020/02/20|12:00:00|SSB|20M|LoTW|", "(log line 198)"},
        {"Q9|000|2020/02/10|12:00:00|DATA|20M|LoTW|", "(log line 199)"}, // equally near: the first in the log
        {"Q9|002|2020/02/14|12:00:00|CW|20M|LoTW|", "(log line 201)"},   // the CW QSO without DXCC is nearest
    };
    std::string records;
    for (const auto& c : cases) {
        records += std::string(c.line) + "\r\n";
    }
    const mark::MarkedLog marked = mark::markContent(records, log, false, "r", "l");
    ASSERT_EQ(marked.unmatched.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string report = mark::reportLine(marked.unmatched[i]);
        EXPECT_NE(report.find(cases[i].reason), std::string::npos) << report;
    }
}
