// SPDX-License-Identifier: GPL-3.0-or-later
// ADI as real programs write it, each sample shaped after the named program's exports, and the
// files that must be refused. Marking one QSO of each sample must change nothing but that QSO's
// CREDIT_GRANTED.
#include "mark/adi_reader.h"
#include "mark/marking.h"
#include "tests/support/mark_fixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace awardsync::mark;

struct Sample {
    const char* writer;
    std::string text;
    std::string credit; // a record line that matches exactly one QSO
    std::string from;   // the bytes of that QSO that marking changes...
    std::string to;     // ...and what they become; every other byte stays
};

const Sample Samples[] = {
    // WSJT-X's log: free-text header, lower-case tags, blanks between fields, one QSO per line, LF.
    {"WSJT-X",
     "WSJT-X ADIF Export<eoh>\n"
     "<call:5>Q1ABC <gridsquare:4>FN42 <mode:3>FT8 <rst_sent:3>-10 <rst_rcvd:3>-07 <qso_date:8>20230102 "
     "<time_on:6>101530 <qso_date_off:8>20230102 <time_off:6>101615 <band:3>20m <freq:9>14.075123 <eor>\n"
     "<call:5>Q2DEF <mode:3>FT4 <qso_date:8>20230102 <time_on:6>102000 <band:3>40m <eor>\n",
     "Q1ABC|000|2023/01/02|10:15:30|DATA|20M|LoTW|", "<freq:9>14.075123 <eor>",
     "<freq:9>14.075123 <CREDIT_GRANTED:9>DXCC:LOTW<eor>"},
    // LoTW's own ADIF report: a header of text and fields, one field per line, CR LF, and comments
    // after values ("// QSO Date").
    {"LoTW report",
     "ARRL Logbook of the World Status Report\r\nGenerated at 2024-01-01 00:00:00\r\n"
     "<PROGRAMID:4>LoTW\r\n<APP_LoTW_NUMREC:1>1\r\n\r\n<eoh>\r\n\r\n"
     "<CALL:5>Q3GHI\r\n<BAND:3>15M\r\n<MODE:3>SSB\r\n<APP_LoTW_MODEGROUP:5>PHONE\r\n"
     "<QSO_DATE:8>20191231 // QSO Date\r\n<TIME_ON:6>235900 // QSO Start Time\r\n<DXCC:3>291\r\n"
     "<QSL_RCVD:1>Y\r\n<eor>\r\n",
     "Q3GHI|291|2020/01/01|00:10:00|PHONE|15M|QSL|", "<QSL_RCVD:1>Y\r\n<eor>",
     "<QSL_RCVD:1>Y\r\n<CREDIT_GRANTED:9>DXCC:CARD<eor>"},
    // A Windows desktop logger's export (DXKeeper style): data-type indicators, CR LF, a credit list
    // already there, a comment whose value holds "<EOR>", and UTF-8 names counted in bytes.
    {"desktop logger, bytes",
     "<ADIF_VER:5>3.1.4\r\n<PROGRAMID:7>DXLOGGER\r\n<EOH>\r\n"
     "<CALL:5>Q4JKL <QSO_DATE:8:D>20050607 <TIME_ON:4:T>0102 <BAND:3>80M <MODE:2>CW <NAME:7:S>J\xC3\xBCrgen "
     "<COMMENT:20>ends <EOR> not here <CREDIT_GRANTED:8:S>IOTA,WAS <EOR>\r\n",
     "Q4JKL|000|2005/06/07|01:02:00|CW|80M|LoTW|", "<CREDIT_GRANTED:8:S>IOTA,WAS <EOR>",
     "<CREDIT_GRANTED:18:S>IOTA,WAS,DXCC:LOTW <EOR>"},
    // A web logbook's download: no header, UTF-8 lengths counted in characters, tags without a length.
    {"web logbook, characters",
     "<call:5>Q5MNO<name:6>J\xC3\xBCrgen<qth:4>K\xC3\xB6ln<band:2>6m<mode:2>FM<qso_date:8>20200202"
     "<time_on:4>0202<credit_granted:8>WAS:CARD<eor>\n"
     "<call>Q6PQR<band>10m<mode>SSB<qso_date>20200203<time_on>0303<eor>\n",
     "Q5MNO|000|2020/02/02|02:02:00|SSB|6M|LoTW|", "<credit_granted:8>WAS:CARD<eor>",
     "<credit_granted:18>WAS:CARD,DXCC:LOTW<eor>"},
};

TEST(AdiReader, SamplesOfRealWritersMarkOnlyTheMatchedQso) {
    for (const Sample& s : Samples) {
        const MarkedLog marked = markContent(s.credit + "\r\n", s.text, false, "r", "l");
        const std::string output = awardsync::testing::joined(marked.output);
        EXPECT_TRUE(marked.unmatched.empty())
            << s.writer << ": " << (marked.unmatched.empty() ? "" : reportLine(marked.unmatched[0]));
        std::string expected = s.text;
        expected.replace(expected.find(s.from), s.from.size(), s.to);
        EXPECT_EQ(output, expected) << s.writer;
    }
}

// The marking keeps only a record's place and reads the record again when it needs its fields: the
// second reading must see what the first saw, also after a second header and in a file counting characters.
TEST(AdiReader, ARecordReadAgainIsReadAsBefore) {
    // The second record's NAME fits neither count cleanly: it is taken as the file counts by then.
    std::vector<std::string> logs = {"<CALL:1>A<EOH>free text <CALL:1>B<EOR>\n<CALL:1>C <EOH> <CALL:1>D<EOR>",
                                     "<NAME:6>J\xC3\xBCrgen<EOR><NAME:3>J\xC3\xB6rg<EOR>"};
    for (const Sample& s : Samples) {
        logs.push_back(s.text);
    }
    const auto fieldsOf = [](const AdiRecord& r) {
        std::string text = std::to_string(r.begin) + "-" + std::to_string(r.eorBegin) + "-" + std::to_string(r.end);
        for (const AdiField& f : r.fields) {
            text += " " + std::to_string(f.tagBegin) + std::string(f.name) + ":" + std::string(f.type) + "=" +
                    std::string(f.value) + "@" + std::to_string(f.valueEnd);
        }
        return text;
    };
    for (const std::string& log : logs) {
        std::vector<std::pair<std::string, std::string>> readings; // first, again
        AdiLayout layout;
        AdiLengthUnit unit = AdiLengthUnit::Bytes;
        readAdi(
            log,
            [&](const AdiRecord& r) {
                std::string again;
                readAdiRecordAgain(log, r.begin, unit, [&](const AdiRecord& a) {
                    again = fieldsOf(a);
                    return false;
                });
                readings.emplace_back(fieldsOf(r), again);
                unit = layout.unit;
                return true;
            },
            layout);
        ASSERT_FALSE(readings.empty()) << log;
        for (const auto& [first, again] : readings) {
            EXPECT_EQ(again, first) << log;
        }
    }
}

TEST(AdiReader, TagsWithoutLengthAndHeaderFields) {
    std::vector<std::string> seen;
    AdiLayout layout;
    readAdi(
        "<adif_ver:5>3.1.0<EOH><call>Q6PQR  <band:3>10m<eor:0><CALL:1>X<EOR>",
        [&](const AdiRecord& r) {
            seen.push_back(std::string(r.find("call")->value) + "/" + std::to_string(r.fields.size()));
            return true;
        },
        layout);
    EXPECT_EQ(seen, (std::vector<std::string>{"Q6PQR/2", "X/1"}));
    EXPECT_EQ(layout.headerEnd, 22u);
}

// The header ends at the first <EOH> that is a tag; a value's "<EOH>" is text, and so is an <EOR> in the
// free text a header begins with. Each record as "number:CALL", an overrun marked "!".
TEST(AdiReader, TheHeaderEndsAtTheFirstEndOfHeaderTag) {
    struct Case {
        std::string log;
        std::size_t headerEnd;
        std::string records;
    };
    const Case cases[] = {
        {"<CALL:5>Q1ABC<COMMENT:5><EOH><EOR><CALL:5>Q2DEF<EOR>", 0, "1:Q1ABC 2:Q2DEF"},
        {"<PROGRAMID:7>a <EOH><EOH><CALL:5>Q1ABC<COMMENT:5><EOH><EOR>", 25, "1:Q1ABC"},
        {"Records end at <EOR>, the header at <EOH>\n<CALL:5>Q1ABC<EOR>", 41, "1:Q1ABC"},
        {"Notes <EOR>\n<CALL:5>Q1ABC<EOR>\n<ADIF_VER:5>3.1.4<EOH><CALL:5>Q2DEF<EOR>", 0, "1: 2:Q1ABC 3:Q2DEF"},
        {"\n<CALL:5>Q1ABC<EOR>", 0, "1:Q1ABC"},
        {"<ADIF_VER:5>3.1.4<EOH><CALL:5>Q1ABC<EOR>", 22, "1:Q1ABC"},
        {"<PROGRAMID:4>abc<EOH><CALL:5>Q1ABC<EOR>", 21, "1:Q1ABC"},
        {"<PROGRAMID:99>abc<EOH><CALL:5>Q1ABC<EOR>", 22, "1:Q1ABC"},
        {"<CALL:5>Q1ABC<COMMENT:4>abc<EOR><CALL:5>Q2DEF<COMMENT:8>abc<EOR><EOR><CALL:1>X<COMMENT:7>abc<eor><EOR>", 0,
         "1:Q1ABC! 2:Q2DEF 3:X! 4:"},
        {"<EOH><CALL:5>Q1A<eoh>BC<EOR><CALL:5>Q2DEF<EOH><EOR>", 5, "1:Q1A! 2:"},
    };
    for (const Case& c : cases) {
        std::string records;
        AdiLayout layout;
        readAdi(
            c.log,
            [&](const AdiRecord& r) {
                const AdiField* call = r.find("CALL");
                records += (records.empty() ? "" : " ") + std::to_string(r.number) + ":" +
                           std::string(call != nullptr ? call->value : "") + (r.overrun ? "!" : "");
                return true;
            },
            layout);
        EXPECT_EQ(layout.headerEnd, c.headerEnd) << c.log;
        EXPECT_EQ(records, c.records) << c.log;
    }
}

std::string repeated(std::string_view text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// A reader that names its fields keeps those (and the record's first field, which says where the
// record begins) however many other fields a record holds.
TEST(AdiReader, KeepsOnlyTheNamedFields) {
    const std::string text = "<EOH><X:1>x" + repeated("<A:0>", 20000) + "<call:2>Q1<A:0><MODE:2>CW<EOR><X:1>y";
    AdiLayout layout;
    std::vector<std::string> kept;
    try {
        readAdi(text,
                [&](const AdiRecord& record) {
                    for (const AdiField& field : record.fields) {
                        kept.push_back(std::string(field.name) + "=" + std::string(field.value));
                    }
                    return true;
                },
                layout, {"CALL", "MODE"});
        ADD_FAILURE() << "fields after the last <EOR> went unnoticed";
    } catch (const AdiError& error) {
        EXPECT_NE(std::string(error.what()).find("the last QSO record has no <EOR>"), std::string::npos);
    }
    EXPECT_EQ(kept, (std::vector<std::string>{"X=x", "call=Q1", "MODE=CW"}));
}

TEST(AdiReader, RefusesWhatCannotBeRead) {
    struct Case {
        const char* what;
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"length not a number", "<EOH><CALL:x5>Q1ABC<EOR>", "byte 5 (QSO record 1): the length in \"<CALL:x5>\""},
        {"length past the end", "<EOH><CALL:5>Q1ABC<EOR><CALL:99>Q2",
         "byte 23 (QSO record 2): the length 99 of <CALL>"},
        {"absurd length", "<CALL:99999999999999999999>Q", "is absurd"},
        {"not text", std::string("<CALL:5>Q1\0BC<EOR>", 18), "byte 10: a NUL byte: this is not a text file"},
        {"ADX", "\xEF\xBB\xBF<?xml version=\"1.0\"?><ADX><HEADER/></ADX>", "ADX (XML) file"},
        {"no end of record", "<EOH><CALL:5>Q1ABC<EOR><CALL:5>Q2ABC",
         "byte 23 (QSO record 2): the last QSO record has no <EOR>"},
        {"tag cut off", "<EOH><CALL:5>Q1ABC<EOR><CALL", "is not closed"},
        {"UTF-16", std::string("\xFF\xFE<\0C\0", 6), "byte 0: UTF-16 text: save the file as UTF-8"},
        {"too many fields", "<EOH>" + repeated("<A:0>", 10001) + "<EOR>",
         "byte 50005 (QSO record 1): the QSO record holds more than 10000 fields"},
    };
    for (const Case& c : cases) {
        AdiLayout layout;
        try {
            readAdi(
                c.text, [](const AdiRecord&) { return true; }, layout);
            ADD_FAILURE() << c.what << ": read";
        } catch (const AdiError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << c.what << ": " << error.what();
        }
    }
}

} // namespace
