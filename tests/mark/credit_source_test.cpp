// SPDX-License-Identifier: GPL-3.0-or-later
// Marking from each credit source, and logs that once gave wrong or runaway results.
#include "mark/marking.h"
#include "tests/support/mark_fixtures.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

using namespace awardsync::mark;

using awardsync::testing::joined;

// Q3GHI has only a FREQ; the log ends with a trailer, as the service's own reports do.
const std::string Log = "<ADIF_VER:5>3.1.4<EOH>\r\n"
                        "<CALL:5>EA1ZX<BAND:3>15M<MODE:2>CW<QSO_DATE:8>20070308<TIME_ON:4>0605<EOR>\r\n"
                        "<CALL:5>Q2DEF<BAND:3>17M<MODE:4>RTTY<QSO_DATE:8>20100102<TIME_ON:4>1200"
                        "<CREDIT_GRANTED:14>DXCC_BAND:LOTW<EOR>\r\n"
                        "<CALL:5>Q3GHI<FREQ:6>14.074<MODE:3>FT8<QSO_DATE:8>20200304<TIME_ON:4>0000<EOR>\r\n"
                        "<APP_LoTW_EOF>\r\n";

const std::string RecordsFile = "EA1ZX|281|2007/03/08|06:05:35|CW|15M|LoTW|\r\n"
                                "Q3GHI|000|2020/03/04|00:01:00|DATA|20M|QSL|\r\n";

const std::string CreditsFile =
    "Awardsync credits of account 1\r\n<ADIF_VER:5>3.1.4 <PROGRAMID:9>awardsync <EOH>\r\n"
    "<CALL:5>EA1ZX <QSO_DATE:8>20070308 <TIME_ON:6>060535 <BAND:3>15M <MODE:2>CW <APP_AWARDSYNC_MODEGROUP:2>CW "
    "<DXCC:3>281 <CREDIT_GRANTED:39>DXCC:LOTW,DXCC_MODE:LOTW,DXCC_BAND:LOTW <EOR>\r\n"
    "<CALL:5>Q2DEF <QSO_DATE:8>20100102 <TIME_ON:6>120000 <BAND:3>17M <APP_AWARDSYNC_MODEGROUP:4>DATA "
    "<CREDIT_GRANTED:29>DXCC_BAND:LOTW,DXCC_MODE:LOTW <EOR>\r\n"
    "<CALL:5>Q9ZZZ <QSO_DATE:8>20100102 <BAND:3>17M <CREDIT_GRANTED:19>DXCC_SATELLITE:CARD <EOR>\r\n";

// The service's DXCC QSL Card Report: no TIME_ON, the mode group in its own field, items without media.
const std::string CardReport = "ARRL Logbook of the World DXCC QSL Card Report\r\n"
                               "<PROGRAMID:18>LoTW qslcards.php\r\n<APP_LoTW_NUMREC:1:N>3\r\n<eoh>\r\n"
                               "<CALL:5>EA1ZX\r\n<QSO_DATE:8:D>20070308\r\n<BAND:3>15M\r\n<APP_LoTW_MODEGROUP:2>CW\r\n"
                               "<CREDIT_GRANTED:19>DXCC,DXCC_SATELLITE\r\n<eor>\r\n"
                               "<CALL:5>Q3GHI\r\n<QSO_DATE:8:D>20200304\r\n<BAND:3>20M\r\n"
                               "<APP_LoTW_MODEGROUP:4>DATA\r\n<CREDIT_GRANTED:9>DXCC_BAND\r\n<eor>\r\n"
                               "<CALL:5>Q3GHI\r\n<QSO_DATE:8:D>20200305\r\n<BAND:3>20M\r\n"
                               "<CREDIT_GRANTED:4>DXCC\r\n<eor>\r\n<APP_LoTW_EOF>\r\n";

TEST(CreditSource, EachSourceMarksItsItemsOnceAndKeepsTheTrailer) {
    struct Case {
        const char* what;
        const std::string* source;
        std::vector<std::string> fields; // the CREDIT_GRANTED fields of the three QSOs, in order
        std::string summary;
        std::size_t unmatched;
    };
    const Case cases[] = {
        {"records file",
         &RecordsFile,
         {"<CREDIT_GRANTED:9>DXCC:LOTW", "<CREDIT_GRANTED:14>DXCC_BAND:LOTW", "<CREDIT_GRANTED:9>DXCC:CARD"},
         "Marked: DXCC 2",
         0},
        {"credits file",
         &CreditsFile,
         {"<CREDIT_GRANTED:39>DXCC:LOTW,DXCC_MODE:LOTW,DXCC_BAND:LOTW",
          "<CREDIT_GRANTED:29>DXCC_BAND:LOTW,DXCC_MODE:LOTW", ""},
         "Marked: DXCC 1, DXCC_BAND 1, DXCC_MODE 2",
         1},
        {"QSL Card Report",
         &CardReport,
         {"<CREDIT_GRANTED:19>DXCC,DXCC_SATELLITE", "<CREDIT_GRANTED:14>DXCC_BAND:LOTW", "<CREDIT_GRANTED:9>DXCC_BAND"},
         "Marked: DXCC 1, DXCC_BAND 1, DXCC_SATELLITE 1",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MarkedLog once = markContent(*c.source, Log, false, "c", "l");
        const std::string output = joined(once.output);
        std::size_t from = 0;
        for (const std::string& field : c.fields) {
            const std::size_t eor = output.find("<EOR>", from);
            if (!field.empty()) {
                EXPECT_EQ(output.substr(eor - field.size(), field.size()), field);
            }
            from = eor + 5;
        }
        EXPECT_EQ(output.substr(from), "\r\n<APP_LoTW_EOF>\r\n");
        const std::vector<std::string> summary = summaryLines(once.summary);
        EXPECT_NE(std::find(summary.begin(), summary.end(), c.summary), summary.end()) << summary[4];
        EXPECT_EQ(once.unmatched.size(), c.unmatched);

        const MarkedLog twice = markContent(*c.source, output, false, "c", "l");
        EXPECT_EQ(joined(twice.output), output);
        EXPECT_EQ(twice.summary.qsosMarked, 0u);
    }
}

TEST(CreditSource, UnmatchedAdiRecordsKeepTheirBytesAndAreNamedByTheirFacts) {
    const MarkedLog marked = markContent(CardReport, Log, false, "c", "l");
    const std::string third = CardReport.substr(CardReport.find("\r\n<CALL:5>Q3GHI\r\n<QSO_DATE:8:D>20200305"));
    EXPECT_EQ(joined(marked.bad), CardReport.substr(0, CardReport.find("<eoh>") + 5) + third);
    ASSERT_EQ(marked.unmatched.size(), 1u);
    EXPECT_EQ(reportLine(marked.unmatched[0]), "record 3 Q3GHI 2020-03-05 20M (no mode): the nearest QSO is on "
                                               "another date: Q3GHI 2020-03-04 00:00 20M FT8 (log line 4)");

    const std::string firstOnly = CardReport.substr(0, CardReport.find("\r\n<CALL:5>Q3GHI")) + "\r\n";
    const MarkedLog all = markContent(firstOnly, Log, false, "c", "l");
    EXPECT_EQ(joined(all.bad), CardReport.substr(0, CardReport.find("<eoh>") + 5) + "\r\n");
}

TEST(CreditSource, WhatIsNoCreditSourceIsRefused) {
    for (const std::string& text :
         {std::string("just some notes\nabout my log\n"), std::string("<CALL:5>Q1ABC<BAND:3>20M<EOR>")}) {
        try {
            markContent(text, Log, false, "c", "l");
            ADD_FAILURE() << text;
        } catch (const awardsync::Error& error) {
            EXPECT_NE(std::string(error.what()).find("credits are read from a records file"), std::string::npos)
                << error.what();
        }
    }
}

// Logs that once gave a runaway report, a wrong mark, wrong line numbers or a wrong exit.
TEST(CreditSource, HostileLogsEndInAClearResult) {
    std::string equal = "<EOH>";
    std::string credits;
    for (int i = 0; i < 4000; ++i) {
        equal += "<CALL:5>Q1ABC<BAND:3>20M<MODE:2>CW<QSO_DATE:8>20090714<TIME_ON:4>1805<EOR>\n";
        credits += "Q1ABC|000|2009/07/14|18:05:00|CW|20M|LoTW|\n";
    }
    const MarkedLog ambiguous = markContent(credits, equal, false, "c", "l");
    ASSERT_EQ(ambiguous.unmatched.size(), 4000u);
    const std::string line = reportLine(ambiguous.unmatched[3999]);
    EXPECT_LT(line.size(), 400u);
    EXPECT_NE(line.find("ambiguous, 4000 QSOs equally near: Q1ABC"), std::string::npos) << line;
    EXPECT_NE(line.find("(log line 3) and 3997 more"), std::string::npos) << line;

    const std::string longLine = "Q1ABC|000|2009/07/14|18:05:00|CW|20M|LoTW" + std::string(3000, 'x') + "|";
    const std::string cut = reportLine(markContent(longLine, equal, false, "c", "l").unmatched[0]);
    EXPECT_EQ(cut.substr(0, 211), "line 1 " + longLine.substr(0, 200) + "...:");
    EXPECT_LT(cut.size(), 400u) << cut; // its reason quotes the long field in part too

    const std::string twoFields = "<CALL:5>Q1ABC<BAND:3>20M<MODE:2>CW<QSO_DATE:8>20090714<TIME_ON:4>1805"
                                  "<CREDIT_GRANTED:9>DXCC:CARD<CREDIT_GRANTED:4>IOTA<EOR>\r\n";
    const std::string firstLine = credits.substr(0, credits.find('\n')); // the report reads from it
    const MarkedLog untouched = markContent(firstLine, twoFields, false, "c", "l");
    EXPECT_EQ(joined(untouched.output), twoFields);
    ASSERT_EQ(untouched.unmatched.size(), 1u);
    EXPECT_NE(reportLine(untouched.unmatched[0])
                  .find("the QSO has two CREDIT_GRANTED fields (fix it in the logbook): Q1ABC 2009-07-14 18:05 20M CW"),
              std::string::npos);

    const std::string crOnly = "header\r<EOH>\r<CALL:5>Q1ABC<BAND:3>20M<MODE:2>CW<QSO_DATE:8>20090714<EOR>\r"
                               "<CALL:5>Q1ABC<BAND:3>40M<MODE:2>CW<QSO_DATE:8>20090714<EOR>\r";
    const MarkedLog lines = markContent("Q1ABC|000|2009/07/14||CW|80M|LoTW|\r", crOnly, false, "c", "l");
    ASSERT_EQ(lines.unmatched.size(), 1u);
    EXPECT_NE(reportLine(lines.unmatched[0]).find("(no time) 20M CW (log line 3)"), std::string::npos)
        << reportLine(lines.unmatched[0]);

    EXPECT_THROW(markContent(credits, "<EOH><EOR>", false, "c", "l"), awardsync::Error);
}

// A length one too long, in the log or in a credits file, leaves that record alone instead of putting one
// QSO's credit on the next, and says so; --only-marked writes the header as it was read.
TEST(CreditSource, ALengthIntoTheNextTagLeavesItsRecordAlone) {
    const std::string log =
        "<ADIF_VER:5>3.1.4<EOH>\r\n"
        "<CALL:5>Q1ABC<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20090714<TIME_ON:4>1805<COMMENT:4>abc<EOR>\r\n"
        "<CALL:5>Q2ABC<BAND:3>40M<MODE:2>CW<QSO_DATE:8>20090715<TIME_ON:4>0900<EOR>\r\n";
    const MarkedLog inLog = markContent("Q1ABC|001|2009/07/14|18:05:00|SSB|20M|QSL|\r\n"
                                        "Q2ABC|001|2009/07/15|09:00:00|CW|40M|LoTW|\r\n",
                                        log, false, "c", "l");
    std::string expected = log;
    expected.insert(expected.rfind("<EOR>"), "<CREDIT_GRANTED:9>DXCC:LOTW");
    EXPECT_EQ(joined(inLog.output), expected);
    ASSERT_EQ(inLog.unmatched.size(), 1u);
    EXPECT_EQ(inLog.unmatched[0].lineNumber, 1u);
    EXPECT_EQ(inLog.warnings, std::vector<std::string>{"l: record 1: a field's length runs into the next tag; the QSO "
                                                       "is not marked (<COMMENT:4> at byte 94)"});

    const std::string credits = "<EOH>\r\n<CALL:5>Q1ABC<QSO_DATE:8>20090714<BAND:3>20M<CREDIT_GRANTED:9>DXCC:LOTW"
                                "<COMMENT:4>abc<EOR>\r\n"
                                "<CALL:5>Q2ABC<QSO_DATE:8>20090715<BAND:3>40M<CREDIT_GRANTED:9>DXCC:CARD<EOR>\r\n";
    const MarkedLog inCredits = markContent(credits, awardsync::testing::FixtureLog, false, "c", "l");
    expected = awardsync::testing::FixtureLog;
    expected.insert(expected.rfind("<EOR>"), "<CREDIT_GRANTED:9>DXCC:CARD");
    EXPECT_EQ(joined(inCredits.output), expected);
    ASSERT_EQ(inCredits.unmatched.size(), 1u);
    EXPECT_NE(inCredits.unmatched[0].reason.find("a field's length runs into the next tag (<COMMENT:4> at byte 78)"),
              std::string::npos)
        << inCredits.unmatched[0].reason;
    EXPECT_EQ(inCredits.warnings.size(), 1u);

    const std::string header = "Records end at <EOR>, the header at <EOH>";
    const std::string qso = "\r\n<CALL:5>Q1ABC<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20090714<TIME_ON:4>1805";
    const std::string named = header + qso + "<EOR>\r\n<CALL:5>Q2ABC<BAND:3>40M<QSO_DATE:8>20090715<EOR>\r\n";
    const MarkedLog onlyMarked = markContent("Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n", named, true, "c", "l");
    EXPECT_EQ(joined(onlyMarked.output), header + qso + "<CREDIT_GRANTED:9>DXCC:LOTW<EOR>\r\n");
}

// Only credits and media of the ADIF standard go into a log: a list that holds anything else, a tag
// among it, is reported and leaves the log as it was.
TEST(CreditSource, ItemsOutsideTheStandardAreRefused) {
    const struct {
        std::string list;
        bool used;
    } cases[] = {
        {"DXCC:LOTW<EOR><CALL:5>Q6BAD<EOR>", false},
        {"DXCC:LOTW&SMOKE", false},
        {"DXXC:LOTW", false},
        {"DXCC:LOTW,IOTA<", false},
        {"WAS:LOTW&card&EQSL,dxcc_band,IOTA", true},
        {"DXCC_SATELLITE:CARD,CQWAZ_MIXED,WITUZ_BAND", true},
    };
    for (const auto& c : cases) {
        const std::string credits =
            "<EOH><CALL:5>Q1ABC<QSO_DATE:8>20090714<BAND:3>20M<CREDIT_GRANTED:" + std::to_string(c.list.size()) + ">" +
            c.list + "<EOR>";
        const MarkedLog marked = markContent(credits, awardsync::testing::FixtureLog, false, "c", "l");
        EXPECT_EQ(marked.summary.qsosMarked, c.used ? 1u : 0u) << c.list;
        if (!c.used) {
            EXPECT_EQ(joined(marked.output), awardsync::testing::FixtureLog);
            ASSERT_EQ(marked.unmatched.size(), 1u);
            EXPECT_NE(marked.unmatched[0].reason.find("\", which is not a credit of the ADIF standard"),
                      std::string::npos)
                << marked.unmatched[0].reason;
        }
    }
}

TEST(CreditSource, LogLinesEndAtLfCrLfAndALoneCrWhereverTheyFall) {
    const char* const ends[] = {"\r\n", "\n", "\r", "\r\r\n", "\n\r"};
    std::string log = "h<EOH>";
    std::size_t lines = 1;
    for (std::size_t i = 0; i < 60; ++i) {
        log += std::string(i % 9, ' ') + "<CALL:2>QA<EOR>" + ends[i % 5];
        lines += i % 5 == 3 || i % 5 == 4 ? 2 : 1;
    }
    log += "<CALL:2>QB<BAND:3>20M<QSO_DATE:8>20200101<EOR>";
    const MarkedLog marked = markContent("QB|000|2020/01/01||CW|40M|LoTW|", log, false, "c", "l");
    ASSERT_EQ(marked.unmatched.size(), 1u);
    EXPECT_NE(reportLine(marked.unmatched[0]).find("(log line " + std::to_string(lines) + ")"), std::string::npos)
        << reportLine(marked.unmatched[0]) << " " << lines;
}

} // namespace

// A credit reads its texts from its line where they stand there as they are, else keeps them beside it; the
// unmatched lines go into the file of unmatched credits each with CR LF, whatever ended them in the source.
TEST(CreditSource, TextsOfTheLineOrBesideItAndUnmatchedLinesWithCrLf) {
    const std::string wide(300, ' ');
    const std::string source = "Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n"
                               " q2def |002|2009/07/14|18:05:00| cw |40m|QSL|\n"
                               "Q3GHI|003|2009/07/14||" +
                               wide + "FT8|" + wide + "10M|LoTW|\rEA1ZX|281|2007/03/08|06:05:35|CW|15M|LoTW|\r\n" +
                               "Q4JKL|004|2009/07/14|18:05:00|SSB|20M|LoTW|";
    const CreditSource read = readCreditSource(source, "c");
    ASSERT_EQ(read.credits.size(), 5u);
    const std::vector<Credit> copies = read.credits; // a copy keeps what its credit kept beside it
    const std::tuple<std::string_view, std::string_view, std::string_view, bool> expected[] = {
        {"Q1ABC", "20M", "SSB", true},
        {"Q2DEF", "40M", "cw", true},
        {"Q3GHI", "10M", "FT8", false},
        {"EA1ZX", "15M", "CW", true},
        {"Q4JKL", "20M", "SSB", true}};
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const auto& [call, band, mode, hasTime] = expected[i];
        EXPECT_EQ(copies[i].call(), call);
        EXPECT_EQ(copies[i].band(), band);
        EXPECT_EQ(copies[i].mode(), mode);
        EXPECT_EQ(copies[i].start().has_value(), hasTime) << i;
        EXPECT_EQ(copies[i].lineNumber, i + 1);
    }
    // EA1ZX matches the log; the others are unmatched, their lines written as the source has them, with CR LF.
    const MarkedLog marked = markContent(source, Log, false, "c", "l");
    ASSERT_EQ(marked.unmatched.size(), 4u);
    std::string bad;
    marked.forEachBadBytes([&](std::string_view bytes) { bad += bytes; });
    EXPECT_EQ(marked.bad.size(), 2u); // lines that follow each other in the source are one piece
    EXPECT_EQ(bad, "Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n"
                   " q2def |002|2009/07/14|18:05:00| cw |40m|QSL|\r\n"
                   "Q3GHI|003|2009/07/14||" +
                       wide + "FT8|" + wide + "10M|LoTW|\r\n" + "Q4JKL|004|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n");
    EXPECT_EQ(reportLine(marked.unmatched[1]),
              "line 2  q2def |002|2009/07/14|18:05:00| cw |40m|QSL|: Q2DEF is in the "
              "log, but not on 40M; nearest: Q2DEF 2010-01-02 12:00 17M RTTY (log line 3)");
}
