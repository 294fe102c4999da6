// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/error.h"
#include "service/html_document.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using awardsync::Error;
using awardsync::HtmlDocument;
using awardsync::HtmlElement;

namespace {

const char* const PageUrl = "https://lotw.example.org/lotwuser/accountcredits?awg_id=DXCC&ac_acct=1";

std::vector<std::string> texts(const std::vector<HtmlElement>& elements) {
    std::vector<std::string> result;
    for (const HtmlElement& element : elements) {
        result.push_back(element.innerText());
    }
    return result;
}

TEST(HtmlDocument, FindsElementsByTagNameInDocumentOrder) {
    HtmlDocument page("<table id=outer><tr><td>a</td><td><table><tr><td>b</td></tr></table></td></tr>"
                      "<TR><TD>c</TD></TR></table><Td>stray</tD>",
                      PageUrl);
    HtmlElement body = page.body();
    EXPECT_EQ(texts(body.getElementsByTagName("TD")), (std::vector<std::string>{"a", "b", "b", "c"}));
    EXPECT_EQ(body.getElementsByTagName("tr").size(), 3u);
    EXPECT_EQ(body.getElementsByTagName("Tr").size(), 3u);
    // The parser inserts the tbody a browser would.
    EXPECT_EQ(body.getElementsByTagName("TBODY").size(), 2u);
    HtmlElement inner = page.getElementById("outer").getElementsByTagName("table").at(0);
    EXPECT_EQ(inner.innerHTML(), "<TBODY><TR><TD>b</TD></TR></TBODY>");
    // Only descendants count, not the element itself.
    EXPECT_EQ(inner.getElementsByTagName("TABLE").size(), 0u);
    EXPECT_EQ(body.getElementsByTagName("*").size(), 11u);
    EXPECT_EQ(body.getElementsByTagName("x").size(), 0u);
}

TEST(HtmlDocument, MatchesUnknownTagsWhateverTheirCase) {
    HtmlDocument page("<Call-Sign>Q1ABC</Call-Sign><call-sign>Q2XYZ</call-sign>", PageUrl);
    std::vector<HtmlElement> found = page.body().getElementsByTagName("CALL-SIGN");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].tagName(), "CALL-SIGN");
    EXPECT_EQ(found[1].innerText(), "Q2XYZ");
}

TEST(HtmlDocument, GetElementByIdTakesTheFirstExactMatch) {
    HtmlDocument page(
        "<head><meta id=m></head><div id=\"x\">first</div><p id=\"x\">second</p><span id=\"X\">upper</span>"
        "<b id=\" y\">blank</b><template><i id=t>inside</i></template>",
        PageUrl);
    EXPECT_EQ(page.getElementById("x").innerText(), "first");
    EXPECT_EQ(page.getElementById("x").tagName(), "DIV");
    EXPECT_EQ(page.getElementById("X").innerText(), "upper");
    EXPECT_EQ(page.getElementById("m").tagName(), "META");
    EXPECT_FALSE(page.findElementById("y").has_value());
    EXPECT_FALSE(page.findElementById("t").has_value());
    EXPECT_FALSE(page.findElementById("").has_value());
    try {
        page.getElementById("creditsTable");
        FAIL() << "no error raised";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("\"creditsTable\""), std::string::npos) << error.what();
    }
}

TEST(HtmlDocument, InnerHtmlWritesElementNamesInCapitals) {
    struct Case {
        const char* what;
        const char* html;
        const char* expected;
    };
    const Case cases[] = {
        {"bold in either case", "<b>x</b><B>y</B>", "<B>x</B><B>y</B>"},
        {"attributes as written, quoted, escaped", "<a HREF='q?a=1&amp;b=2' Title=\"say &quot;hi&quot;\">t</a>",
         "<A HREF=\"q?a=1&amp;b=2\" Title=\"say &quot;hi&quot;\">t</A>"},
        {"void elements have no end tag", "a<br>b<img src=x.png><hr/>", "a<BR>b<IMG src=\"x.png\"><HR>"},
        {"text escaped", "1 &lt; 2 &amp;&amp; 3 &gt; 2&nbsp;!", "1 &lt; 2 &amp;&amp; 3 &gt; 2&nbsp;!"},
        {"script and style raw", "x<script>if (a < b && c) x();</script><style>p>b{}</style>",
         "x<SCRIPT>if (a < b && c) x();</SCRIPT><STYLE>p>b{}</STYLE>"},
        {"comments kept", "a<!-- note -->b", "a<!-- note -->b"},
        {"unclosed tags closed", "<p>one<p>two", "<P>one</P><P>two</P>"},
        {"bold inside a link", "<a href=x><b>Q1ABC</b></a>", "<A href=\"x\"><B>Q1ABC</B></A>"},
    };
    for (const Case& c : cases) {
        HtmlDocument page(c.html, PageUrl);
        EXPECT_EQ(page.body().innerHTML(), c.expected) << c.what;
    }
}

TEST(HtmlDocument, InnerTextFollowsRenderedTextRules) {
    struct Case {
        const char* what;
        const char* html;
        const char* expected;
    };
    const Case cases[] = {
        {"whitespace collapsed and trimmed", "  \n Worked \t  Station \n ", "Worked Station"},
        {"inline elements join", "x <span> y </span> <b>z</b>", "x y z"},
        {"blocks on their own lines", "<div>a</div><div> b </div>c", "a\nb\nc"},
        {"paragraphs leave a blank line", "<p>a</p><p>b</p>", "a\n\nb"},
        {"br breaks a line", "a <br> b<br>c", "a\nb\nc"},
        {"table cells and rows", "<table>\n<tr> <td> a </td>\n<td>b</td> <th>c</th> </tr>\n<tr><td>d</td></tr></table>",
         "a\tb\tc\nd"},
        {"rows across sections", "<table><thead><tr><td>h</td></tr></thead><tbody><tr><td>r</td></tr></tbody></table>",
         "h\nr"},
        {"script and style give nothing", "a<script>var s = 'x';</script><style>p { }</style>b", "ab"},
        {"hidden, template and title give nothing",
         "a<div hidden>no</div><template>no</template><title>no</title><noscript>no</noscript>b", "ab"},
        {"hidden cell is not counted", "<table><tr><td>a</td><td hidden>b</td></tr></table>", "a"},
        {"preformatted text kept", "<pre>a  b\n c</pre>", "a  b\n c"},
        {"no-break space kept", "a&nbsp;&nbsp;b",
         "a\xC2\xA0\xC2\xA0"
         "b"},
        {"entities decoded", "Q1ABC &amp; Q2XYZ &lt;3", "Q1ABC & Q2XYZ <3"},
        {"empty body", "", ""},
    };
    for (const Case& c : cases) {
        HtmlDocument page(c.html, PageUrl);
        EXPECT_EQ(page.body().innerText(), c.expected) << c.what;
    }
}

TEST(HtmlDocument, InnerTextOfRowsAndCellsHoldingOnlyText) {
    HtmlDocument page("<table>\n"
                      "  <tr>\n    <td colspan=\"3\">\n      Worked Station\n    </td>\n  </tr>\n"
                      "  <tr><td>Worked</td><td>&nbsp;</td><td>Q1ABC</td></tr>\n"
                      "  <tr><th><b>Mode</b></th></tr>\n"
                      "</table>",
                      PageUrl);
    std::vector<HtmlElement> rows = page.body().getElementsByTagName("TR");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].innerText(), "Worked Station");
    EXPECT_EQ(rows[0].getElementsByTagName("TD").at(0).innerText(), "Worked Station");
    EXPECT_EQ(rows[1].innerText(), "Worked\t\xC2\xA0\tQ1ABC");
    EXPECT_EQ(rows[1].getElementsByTagName("TD").at(2).innerText(), "Q1ABC");
    EXPECT_EQ(rows[2].innerText(), "Mode");
}

TEST(HtmlDocument, RowOfThreeCellsReadsWithTabs) {
    HtmlDocument page("<table><tr><td>a</td><td>b</td><td>c</td></tr></table>", PageUrl);
    EXPECT_EQ(page.body().getElementsByTagName("tr").at(0).innerText(), "a\tb\tc");
}

TEST(HtmlDocument, HrefResolvesAgainstThePageAndBase) {
    struct Case {
        const char* what;
        const char* html;
        const char* expected;
    };
    const Case cases[] = {
        {"relative, entity decoded", "<a href=\"qsodetails?qso=12&amp;x=1\">",
         "https://lotw.example.org/lotwuser/qsodetails?qso=12&x=1"},
        {"absolute path", "<a href=/lotwuser/qsodetails?qso=5>", "https://lotw.example.org/lotwuser/qsodetails?qso=5"},
        {"full address with blanks around", "<a href=\" https://other.example/a b \n\">",
         "https://other.example/a%20b"},
        {"non-ASCII percent-encoded as UTF-8", "<a href=\"caf&eacute;?n=&#233;\">",
         "https://lotw.example.org/lotwuser/caf%C3%A9?n=%C3%A9"},
        {"line breaks inside dropped", "<a href=\"qso\ndetails\">", "https://lotw.example.org/lotwuser/qsodetails"},
        {"no href", "<a name=top>", ""},
        {"base honoured", "<head><base target=_top><base href=\"/other/dir/\"><base href=\"/third/\"></head><a href=x>",
         "https://lotw.example.org/other/dir/x"},
        {"absolute base", "<base href=\"https://mirror.example/root/\"><a href=\"../y?z=1\">",
         "https://mirror.example/y?z=1"},
        {"query only", "<a href=\"?ac_order=2\">", "https://lotw.example.org/lotwuser/accountcredits?ac_order=2"},
    };
    for (const Case& c : cases) {
        HtmlDocument page(c.html, PageUrl);
        std::vector<HtmlElement> links = page.body().getElementsByTagName("A");
        ASSERT_EQ(links.size(), 1u) << c.what;
        EXPECT_EQ(links[0].href(), c.expected) << c.what;
    }
}

TEST(HtmlDocument, BaseUrlIsThePageAddressWithoutBase) {
    HtmlDocument plain("<a href=x>", PageUrl);
    EXPECT_EQ(plain.baseUrl(), PageUrl);
    HtmlDocument based("<base href=\"sub/\">", PageUrl);
    EXPECT_EQ(based.baseUrl(), "https://lotw.example.org/lotwuser/sub/");
}

TEST(HtmlDocument, AttributesReadDecodedAndCaseInsensitively) {
    HtmlDocument page("<td ID=\"c1\" Data-Note=\"a &amp; b\">x</td>", PageUrl);
    HtmlElement body = page.body();
    // A stray cell outside a table is dropped by the parser, as a browser does.
    EXPECT_EQ(body.getElementsByTagName("td").size(), 0u);
    HtmlDocument table("<table><tr><td ID=\"c1\" Data-Note=\"a &amp; b\">x</td></tr></table>", PageUrl);
    HtmlElement cell = table.getElementById("c1");
    EXPECT_EQ(cell.attribute("data-note"), "a & b");
    EXPECT_EQ(cell.attribute("missing"), "");
}

TEST(HtmlDocument, FramesetPageHasNoBody) {
    HtmlDocument page("<html><frameset><frame src=a></frameset></html>", PageUrl);
    EXPECT_THROW(page.body(), Error);
}

TEST(HtmlDocument, ElementsStayValidWhenTheDocumentMoves) {
    HtmlDocument first("<p id=x>kept</p>", PageUrl);
    HtmlElement element = first.getElementById("x");
    HtmlDocument second(std::move(first));
    EXPECT_EQ(element.innerText(), "kept");
    HtmlDocument third("", PageUrl);
    third = std::move(second);
    EXPECT_EQ(element.innerHTML(), "kept");
}

std::string repeat(const std::string& text, std::size_t count) {
    std::string result;
    for (std::size_t i = 0; i < count; ++i) {
        result += text;
    }
    return result;
}

const std::size_t MaxDepth = HtmlDocument::MaxNestingDepth;

TEST(HtmlDocument, ReadsPagesNestedUpToTheLimit) {
    // html and body are the first two levels.
    HtmlDocument page(repeat("<div>", MaxDepth - 2) + "deep", PageUrl);
    HtmlElement body = page.body();
    EXPECT_EQ(body.getElementsByTagName("DIV").size(), MaxDepth - 2);
    EXPECT_EQ(body.innerText(), "deep");
    EXPECT_EQ(body.innerHTML(), repeat("<DIV>", MaxDepth - 2) + "deep" + repeat("</DIV>", MaxDepth - 2));
    EXPECT_FALSE(page.findElementById("none").has_value());
}

TEST(HtmlDocument, RefusesPagesNestedDeeperThanTheLimit) {
    const std::string message = "the page is nested more than " + std::to_string(MaxDepth) + " levels deep";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"one level too deep", repeat("<div>", MaxDepth - 1) + "deep"},
        {"self-closing syntax does not close an element", repeat("<span/>", MaxDepth)},
        {"tables in cells", repeat("<table><tr><td>", MaxDepth / 3)},
        // Pages this deep would keep the parser busy for seconds; they are refused before it starts.
        {"100,000 nested tables", repeat("<table><tr><td>", 100000) + "deep"},
        {"100,000 nested elements", repeat("<div>", 100000)},
    };
    for (const auto& [what, html] : cases) {
        try {
            HtmlDocument page(html, PageUrl);
            ADD_FAILURE() << what << ": not refused";
        } catch (const Error& error) {
            EXPECT_EQ(error.what(), message) << what;
        }
    }
}

TEST(HtmlDocument, ReadsLongUntidyPagesThatAreNotDeep) {
    const std::size_t n = 5 * MaxDepth;
    struct Case {
        const char* what;
        std::string html;
        const char* tag;
        std::size_t count;
    };
    const Case cases[] = {
        {"rows and cells without end tags, formatting left open",
         "<table>" + repeat("<tr><td><font size=2>a<td><b><i>b</i>", n) + "</table>", "TD", 2 * n},
        {"paragraphs without end tags", repeat("<p><font color=red>text", n), "P", n},
        {"list items without end tags", "<ul>" + repeat("<li><i>item", n) + "</ul>", "LI", n},
        {"definitions without end tags", "<dl>" + repeat("<dt>a<dd>b", n) + "</dl>", "DD", n},
        {"options without end tags", "<select>" + repeat("<option>o", n) + "</select>", "OPTION", n},
        {"void elements", repeat("<br><img src=a.png><input name=x>", n), "IMG", n},
        {"self-closing drawing elements", "<svg>" + repeat("<path d=\"M0 0\"/>", n) + "</svg>", "PATH", n},
        {"markup inside comments, scripts and attributes",
         "<!--" + repeat("<div>", n) + "--><script>" + repeat("<div>", n) + "</script><p title=\"" +
             repeat("<div>", n) + "\">x</p>",
         "DIV", 0},
        {"end tags close what is left open inside",
         repeat("<div><span><b>text</div>", n) + repeat("<table><tr><td><span></table>", n), "SPAN", 2 * n},
    };
    for (const Case& c : cases) {
        try {
            HtmlDocument page(c.html, PageUrl);
            EXPECT_EQ(page.body().getElementsByTagName(c.tag).size(), c.count) << c.what;
        } catch (const Error& error) {
            ADD_FAILURE() << c.what << ": " << error.what();
        }
    }
}

} // namespace
