// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/string_list.h"
#include "harvest/award_ids.h"
#include "service/html_document.h"

#include <functional>
#include <string>
#include <string_view>

namespace awardsync {

// The address of the credit-list page of the award category at `index` (0 to 16) for `account`.
// `endpoint` is the service's scheme and host without a trailing slash. Raises Error for an
// index outside 0 to 16.
std::string creditListUrl(std::string_view endpoint, int index, int account);

// Adds to `creditUrls` the address of every link inside the element "creditsTable" whose markup
// holds a bold element ("<B>"). Raises Error("    Page download failed") when the page does not
// hold the credits table; addresses added before a failure stay. `listed`, when given, is called
// with every such address in page order, also with those the list already holds.
void collectCreditLinks(const HtmlDocument& page, SortedStringList& creditUrls,
                        const std::function<void(const std::string&)>& listed = {});

} // namespace awardsync
