// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes as a loaded page through everything that reads pages: the document model,
// the credit-list links, the detail page fields and the record line built from them. A page the
// program refuses raises Error, which is an expected outcome; anything else that escapes, and
// every sanitizer report, is a finding.
#include "core/error.h"
#include "core/string_list.h"
#include "harvest/credit_list.h"
#include "harvest/qso_details.h"
#include "records/credit_record.h"
#include "service/html_document.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace awardsync;

namespace {

const std::string PageUrl = "https://lotw.example.org/lotwuser/accountcredits?awg_id=DXCC&ac_acct=1&ac_view=allc"
                            "&aw_id=DXCC-M&ac_order=1";

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The element handles alone, each asked once for everything it offers. Text and markup are taken
// only from the first few elements: asking every element of a deep page would make this loop,
// not the program, quadratic.
void readDocumentModel(const HtmlDocument& page) {
    const HtmlElement body = page.body();
    const std::string text = body.innerText();
    const std::string markup = body.innerHTML();
    require(body.tagName() == "BODY");

    const std::vector<HtmlElement> all = body.getElementsByTagName("*");
    const std::vector<HtmlElement> links = body.getElementsByTagName("a");
    require(links.size() <= all.size());
    std::size_t detailed = 0;
    for (const HtmlElement& element : all) {
        require(!element.tagName().empty());
        const std::string href = element.href();
        (void)href;
        (void)element.attribute("id");
        if (detailed < 16) {
            ++detailed;
            (void)element.innerText();
            (void)element.innerHTML();
            (void)element.getElementsByTagName("TD");
        }
    }
    (void)page.findElementById("creditsTable");
    (void)page.baseUrl();
}

void readCreditList(const HtmlDocument& page) {
    SortedStringList creditUrls;
    try {
        collectCreditLinks(page, creditUrls);
    } catch (const Error&) {
    }
    for (std::size_t i = 0; i < creditUrls.count(); ++i) {
        require(!creditUrls[i].empty());
    }
}

void readDetails(const HtmlDocument& page) {
    NameValueList fields;
    fields.setValue("Worked", "Q9OLD");
    try {
        readQsoFields(page, PageUrl, fields);
    } catch (const Error&) {
        // A refused page leaves the previous QSO's fields as they were.
        require(fields.count() == 1 && fields.value("Worked") == "Q9OLD");
        return;
    }
    for (bool phoneToSsb : {false, true}) {
        const std::string line = buildRecordLine(fields, phoneToSsb);
        require(line.ends_with("|LoTW|") || line.ends_with("|QSL|"));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    try {
        const HtmlDocument page(html, PageUrl);
        try {
            readDocumentModel(page);
        } catch (const Error&) {
            // A frameset page has no body; the readers below must refuse it the same way.
        }
        readCreditList(page);
        readDetails(page);
    } catch (const Error&) {
        // A page the document model refuses to read at all.
    }
    return 0;
}
