// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/error.h"
#include "core/string_list.h"
#include "harvest/credit_list.h"
#include "service/html_document.h"

#include <climits>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace awardsync;

namespace {

const std::string Endpoint = "https://lotw.example.org";
const std::string PageUrl = Endpoint + "/lotwuser/accountcredits?awg_id=DXCC&ac_acct=1&ac_view=allc&aw_id=DXCC-M";
const std::string Detail = Endpoint + "/lotwuser/qsodetails?qso=";

TEST(CreditListUrl, FillsTheTemplate) {
    EXPECT_EQ(creditListUrl(Endpoint, 0, 1),
              "https://lotw.example.org/lotwuser/accountcredits?awg_id=DXCC&ac_acct=1&ac_view=allc&aw_id=DXCC-M"
              "&ac_order=1");
    EXPECT_EQ(creditListUrl(Endpoint, 16, 12),
              "https://lotw.example.org/lotwuser/accountcredits?awg_id=DXCC&ac_acct=12&ac_view=allc&aw_id=DXCC-SAT"
              "&ac_order=1");
    EXPECT_EQ(creditListUrl(Endpoint, 3, 10),
              "https://lotw.example.org/lotwuser/accountcredits?awg_id=DXCC&ac_acct=10&ac_view=allc&aw_id=DXCC-RTTY"
              "&ac_order=1");
    EXPECT_EQ(creditListUrl(Endpoint, 15, 2),
              "https://lotw.example.org/lotwuser/accountcredits?awg_id=DXCC&ac_acct=2&ac_view=allc&aw_id=DXCC-CHAL"
              "&ac_order=1");
}

TEST(CreditListUrl, UsesEveryCategoryInTableOrder) {
    const std::vector<std::string> expected = {"DXCC-M",  "DXCC-CW", "DXCC-PH", "DXCC-RTTY", "DXCC-160", "DXCC-80",
                                               "DXCC-40", "DXCC-30", "DXCC-20", "DXCC-17",   "DXCC-15",  "DXCC-12",
                                               "DXCC-10", "DXCC-6",  "DXCC-2",  "DXCC-CHAL", "DXCC-SAT"};
    ASSERT_EQ(AwardIds.size(), expected.size());
    for (int i = 0; i < static_cast<int>(expected.size()); ++i) {
        EXPECT_EQ(AwardIds[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)]);
        EXPECT_NE(creditListUrl(Endpoint, i, 1).find("&aw_id=" + expected[static_cast<std::size_t>(i)] + "&ac_order=1"),
                  std::string::npos);
    }
}

TEST(CreditListUrl, RefusesIndexesOutsideTheTable) {
    for (int index : {-1, 17, INT_MIN, INT_MAX}) {
        EXPECT_THROW(creditListUrl(Endpoint, index, 1), Error) << index;
    }
}

struct LinkCase {
    const char* what;
    std::string body;
    std::vector<std::string> before;
    std::vector<std::string> after;
    bool fails = false;
};

std::string creditsTable(const std::string& rows) {
    return "<table id=\"creditsTable\">" + rows + "</table>";
}

std::string linkRow(const std::string& href, const std::string& inner) {
    return "<tr><td><a href=\"" + href + "\">" + inner + "</a></td><td>note</td></tr>";
}

TEST(CollectCreditLinks, TakesBoldLinksOfTheCreditsTable) {
    const LinkCase cases[] = {
        {"bold links taken in sorted order, plain ones passed over",
         creditsTable(linkRow("qsodetails?qso=30", "<b>Q3AAA</b>") + linkRow("qsodetails?qso=10", "<B>Q1AAA</B>") +
                      linkRow("qsodetails?qso=20", "Q2AAA") + linkRow("qsodetails?qso=5", "<font><b>Q5</b></font>")),
         {},
         {Detail + "10", Detail + "30", Detail + "5"}},
        {"bold only as text or inside an attribute is not taken",
         creditsTable(linkRow("qsodetails?qso=1", "<span title=\"<b>\">Q1</span>") +
                      linkRow("qsodetails?qso=2", "&lt;B&gt;Q2") + linkRow("qsodetails?qso=3", "<b class=x>Q3</b>")),
         {},
         {}},
        {"same address twice and addresses differing in case kept once",
         creditsTable(linkRow("qsodetails?qso=7", "<b>A</b>") + linkRow("qsodetails?qso=7", "<b>A</b>") +
                      linkRow("QSODETAILS?QSO=7", "<b>A</b>") + linkRow("qsodetails?qso=8", "<b>B</b>")),
         {Detail + "8"},
         {Detail + "7", Detail + "8"}},
        {"links outside the table ignored, links in nested tables taken",
         "<a href=\"qsodetails?qso=90\"><b>out</b></a>" +
             creditsTable("<tr><td><table><tr><td><a href=\"/lotwuser/qsodetails?qso=91\"><b>in</b></a></td></tr>"
                          "</table></td></tr>"),
         {},
         {Detail + "91"}},
        {"a bold anchor without a target adds nothing",
         creditsTable("<tr><td><a name=x><b>x</b></a></td></tr>"),
         {},
         {}},
        {"a table without links adds nothing", creditsTable("<tr><td>No credits</td></tr>"), {"kept"}, {"kept"}},
        {"page without the table text", "<p>Please log in</p>", {"kept"}, {"kept"}, true},
        {"table text without the table", "<p>creditsTable</p><a href=x><b>y</b></a>", {"kept"}, {"kept"}, true},
        {"table text only as a class",
         "<table class=\"creditsTable\">" + linkRow("x", "<b>y</b>") + "</table>",
         {},
         {},
         true},
        {"id in other letter case",
         "<table id=\"CreditsTable\">" + linkRow("x", "<b>y</b>") + "</table>",
         {},
         {},
         true},
    };
    for (const LinkCase& c : cases) {
        SortedStringList urls;
        for (const std::string& url : c.before) {
            urls.add(url);
        }
        HtmlDocument page("<html><head><title>Account credits</title></head><body>" + c.body + "</body></html>",
                          PageUrl);
        std::optional<std::string> error;
        try {
            collectCreditLinks(page, urls);
        } catch (const Error& e) {
            error = e.what();
        }
        if (c.fails) {
            EXPECT_EQ(error, std::optional<std::string>("    Page download failed")) << c.what;
        } else {
            EXPECT_EQ(error, std::nullopt) << c.what;
        }
        EXPECT_EQ(urls.lines(), c.after) << c.what;
    }
}

} // namespace
