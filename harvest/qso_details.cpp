// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/qso_details.h"

#include "core/error.h"

#include <cstddef>
#include <vector>

namespace awardsync {

void readQsoFields(const HtmlDocument& page, const std::string& url, NameValueList& fields) {
    constexpr std::string_view Marker = "Worked Station";
    const HtmlElement body = page.body();
    if (body.innerHTML().find(Marker) == std::string::npos) {
        throw Error("   Page download failed. URL: " + url);
    }
    const std::vector<HtmlElement> rows = body.getElementsByTagName("TR");
    std::size_t marker = 0;
    while (marker < rows.size() && rows[marker].innerText() != Marker) {
        ++marker;
    }
    // Without the marker row the fields left in the list belong to the previous page; building a
    // record from them would write a wrong line, so the page counts as not downloaded.
    if (marker == rows.size()) {
        throw Error("   Page download failed. URL: " + url);
    }
    fields.clear();
    for (std::size_t i = marker + 1; i < rows.size(); ++i) {
        const std::vector<HtmlElement> cells = rows[i].getElementsByTagName("TD");
        if (cells.size() == 3) {
            const std::string value = cells[2].innerText();
            fields.setValue(cells[0].innerText(), value);
        }
    }
}

} // namespace awardsync
