// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/credit_list.h"

#include "core/error.h"
#include "core/text.h"

#include <optional>

namespace awardsync {

namespace {

constexpr std::string_view CreditListPath = "/lotwuser/accountcredits?awg_id=DXCC&ac_acct=1&ac_view=allc&aw_id=";
constexpr std::string_view CreditListOrder = "&ac_order=1";

} // namespace

std::string creditListUrl(std::string_view endpoint, int index, int account) {
    if (index < 0 || static_cast<std::size_t>(index) >= AwardIds.size()) {
        throw Error("Award category index out of range: " + std::to_string(index) + " (0 to " +
                    std::to_string(AwardIds.size() - 1) + ")");
    }
    std::string url = std::string(endpoint) + std::string(CreditListPath) + AwardIds[static_cast<std::size_t>(index)] +
                      std::string(CreditListOrder);
    if (account != 1) {
        url = replaceAll(std::move(url), "acct=1", "acct=" + std::to_string(account));
    }
    return url;
}

void collectCreditLinks(const HtmlDocument& page, SortedStringList& creditUrls,
                        const std::function<void(const std::string&)>& listed) {
    const Error downloadFailed("    Page download failed");
    if (page.body().innerHTML().find("creditsTable") == std::string::npos) {
        throw downloadFailed;
    }
    // The text alone is not enough: a page that only mentions it has no table to read.
    std::optional<HtmlElement> table = page.findElementById("creditsTable");
    if (!table) {
        throw downloadFailed;
    }
    for (const HtmlElement& link : table->getElementsByTagName("A")) {
        if (link.innerHTML().find("<B>") == std::string::npos) {
            continue;
        }
        // A bold anchor without a target is no detail page.
        std::string url = link.href();
        if (!url.empty()) {
            creditUrls.add(url);
            if (listed) {
                listed(url);
            }
        }
    }
}

} // namespace awardsync
