// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/url_encode.h"

namespace awardsync {

namespace {

bool isKept(unsigned char b) {
    return b == '*' || b == '-' || b == '.' || (b >= '@' && b <= 'Z') || b == '_' || (b >= 'a' && b <= 'z');
}

} // namespace

std::string UrlEncode(std::string_view text) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(3 * text.size());
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0) {
            break;
        }
        if (isKept(b)) {
            out.push_back(c);
        } else if (b == ' ') {
            out.push_back('+');
        } else {
            out.push_back('%');
            out.push_back(Hex[b >> 4]);
            out.push_back(Hex[b & 0x0F]);
        }
    }
    return out;
}

} // namespace awardsync
