// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Element names and characters that both the page reader's nesting guard and its serializers
// go by. Internal to the document model.
#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

namespace awardsync::dom {

// Whitespace in HTML: blank, tab, line feed, carriage return and form feed.
constexpr bool isHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Elements that never have content or an end tag.
inline constexpr std::array<std::string_view, 18> VoidElements = {
    "area", "base",  "basefont", "bgsound", "br",   "col",   "embed",  "frame", "hr",
    "img",  "input", "keygen",   "link",    "meta", "param", "source", "track", "wbr"};

// Elements whose content is text up to their own end tag, with no markup and no entities.
inline constexpr std::array<std::string_view, 6> RawTextElements = {"style",  "script",  "xmp",
                                                                    "iframe", "noembed", "noframes"};

template <typename Names> bool isOneOf(std::string_view name, const Names& names) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}
inline bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return isOneOf<std::initializer_list<std::string_view>>(name, names);
}

} // namespace awardsync::dom
