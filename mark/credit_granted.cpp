// SPDX-License-Identifier: GPL-3.0-or-later
#include "credit_granted.h"

#include "core/text.h"

namespace awardsync::mark {

std::optional<std::string> addCreditMedium(std::string_view list, std::string_view credit, std::string_view medium) {
    std::size_t itemBegin = 0;
    while (itemBegin <= list.size()) {
        std::size_t itemEnd = list.find(',', itemBegin);
        itemEnd = itemEnd == std::string_view::npos ? list.size() : itemEnd;
        const std::string_view item = list.substr(itemBegin, itemEnd - itemBegin);
        const std::size_t colon = item.find(':');
        if (equalsIgnoreAsciiCase(trimBlanks(item.substr(0, colon)), credit)) {
            if (colon == std::string_view::npos) {
                return std::nullopt; // the credit without media: granted already
            }
            const std::string_view media = item.substr(colon + 1);
            // The changed item loses its empty media ("DXCC:CARD&" gives "DXCC:CARD&LOTW").
            std::string result(list.substr(0, itemBegin + colon + 1));
            for (std::size_t begin = 0; begin <= media.size();) {
                std::size_t end = media.find('&', begin);
                end = end == std::string_view::npos ? media.size() : end;
                const std::string_view held = media.substr(begin, end - begin);
                if (equalsIgnoreAsciiCase(trimBlanks(held), medium)) {
                    return std::nullopt;
                }
                if (!trimBlanks(held).empty()) {
                    result += held;
                    result += '&';
                }
                begin = end + 1;
            }
            result += medium;
            result += list.substr(itemEnd);
            return result;
        }
        itemBegin = itemEnd + 1;
    }
    std::string result(trimBlanks(list).empty() ? std::string_view() : list);
    if (!result.empty() && trimBlanks(list).back() != ',') {
        result += ',';
    }
    result += credit;
    result += ':';
    result += medium;
    return result;
}

} // namespace awardsync::mark
