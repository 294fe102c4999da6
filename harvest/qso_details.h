// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/string_list.h"
#include "service/html_document.h"

#include <string>

namespace awardsync {

// Reads the QSO's fields from its detail page loaded from `url`: every row with exactly three
// cells after the first row whose text is exactly "Worked Station" sets the name in its first
// cell to the value in its third. `fields` is cleared when that row is found. Raises
// Error("   Page download failed. URL: " + url), leaving `fields` untouched, when the page has no
// such row.
void readQsoFields(const HtmlDocument& page, const std::string& url, NameValueList& fields);

} // namespace awardsync
