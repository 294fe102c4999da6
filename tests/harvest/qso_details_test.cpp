// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/error.h"
#include "core/string_list.h"
#include "harvest/qso_details.h"
#include "service/html_document.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace awardsync;

namespace {

const std::string Url = "https://lotw.example.org/lotwuser/qsodetails?qso=123";
const std::vector<std::string> Previous = {"Worked=Q9OLD", "Band=40M"};

struct FieldCase {
    const char* what;
    std::string body;
    std::vector<std::string> expected; // the list afterwards; the previous fields when the page fails
    bool fails = false;
};

std::string row(const std::string& name, const std::string& value) {
    return "<tr><td>" + name + "</td><td>:</td><td>" + value + "</td></tr>";
}

const std::string Marker = "<tr><td colspan=\"3\"><b>Worked Station</b></td></tr>";

std::string table(const std::string& rows) {
    return "<table>\n" + rows + "\n</table>";
}

std::vector<std::string> entries(const NameValueList& list) {
    std::vector<std::string> result;
    for (std::size_t i = 0; i < list.count(); ++i) {
        result.push_back(list[i]);
    }
    return result;
}

TEST(ReadQsoFields, TurnsThreeCellRowsAfterTheMarkerIntoFields) {
    const FieldCase cases[] = {
        {"fields in page order, rows before the marker ignored",
         table(row("Header", "x") + Marker + row("Worked", " <b>Q1ABC</b> ") + row("DXCC", "291") + row("Mode", "CW")),
         {"Worked=Q1ABC", "DXCC=291", "Mode=CW"}},
        {"marker row is the last row", table(row("Worked", "Q1ABC") + Marker), {}},
        {"empty value removes an earlier entry",
         table(Marker + row("Mode", "CW") + row("Band", "20M") + row("mode", "")),
         {"Band=20M"}},
        {"same name replaces in place with the later spelling",
         table(Marker + row("Mode", "CW") + row("Band", "20M") + row("MODE", "SSB")),
         {"MODE=SSB", "Band=20M"}},
        {"rows of two and four cells skipped",
         table(Marker + "<tr><td>a</td><td>b</td></tr>" + row("Worked", "Q1ABC") +
               "<tr><td>a</td><td>b</td><td>c</td><td>d</td></tr><tr></tr>" + row("Band", "20M")),
         {"Worked=Q1ABC", "Band=20M"}},
        {"header cells are not counted", table(Marker + "<tr><th>Mode</th><td>:</td><td>CW</td></tr>"), {}},
        {"nested table rows read as rows; the outer row counts their cells",
         table(Marker + "<tr><td>Outer</td><td>" + table(row("QSL", "LoTW")) + "</td></tr>" + "<tr><td>X" +
               table("<tr><td>Y</td><td>Z</td></tr>") + "</td></tr>"),
         {"QSL=LoTW", "X\nY\tZ=Z"}},
        {"three-cell rows of later tables become fields",
         table(Marker + row("Worked", "Q1ABC")) + "<p>More</p>" + table(row("Band", "20M")),
         {"Worked=Q1ABC", "Band=20M"}},
        {"marker in a header cell",
         table("<tr><th colspan=3>Worked Station</th></tr>" + row("Worked", "Q1ABC")),
         {"Worked=Q1ABC"}},
        {"near misses before the marker are not markers",
         table("<tr><td>worked station</td></tr>" + row("Early1", "x") + "<tr><td>Worked Station:</td></tr>" +
               row("Early2", "x") + "<tr><td>&nbsp;Worked Station</td></tr>" + row("Early3", "x") +
               "<tr><td>Worked Station&nbsp;</td></tr>" + row("Early4", "x") + Marker + row("Worked", "Q1ABC")),
         {"Worked=Q1ABC"}},
        {"only the first marker row counts",
         table(Marker + row("Mode", "CW") + Marker + row("Band", "20M") +
               "<tr><td>Worked Station</td><td hidden></td><td hidden>again</td></tr>"),
         {"Mode=CW", "Band=20M", "Worked Station=again"}},
        {"no marker text anywhere", table(row("Worked", "Q1ABC")), Previous, true},
        {"marker text but no row that is exactly it",
         "<p>Worked Station</p>" + table("<tr><td>Worked Station:</td></tr>" + row("Worked", "Q1ABC")), Previous, true},
        {"marker text and no rows at all", "<div>Worked Station</div>", Previous, true},
    };
    for (const FieldCase& c : cases) {
        NameValueList fields;
        for (const std::string& entry : Previous) {
            fields.setValue(entry.substr(0, entry.find('=')), entry.substr(entry.find('=') + 1));
        }
        HtmlDocument page("<html><body>" + c.body + "</body></html>", Url);
        std::optional<std::string> error;
        try {
            readQsoFields(page, Url, fields);
        } catch (const Error& e) {
            error = e.what();
        }
        if (c.fails) {
            EXPECT_EQ(error, std::optional<std::string>("   Page download failed. URL: " + Url)) << c.what;
        } else {
            EXPECT_EQ(error, std::nullopt) << c.what;
        }
        EXPECT_EQ(entries(fields), c.expected) << c.what;
    }
}

} // namespace
