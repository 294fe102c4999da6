// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct GumboInternalNode;

namespace awardsync {

class HtmlElement;

// A page parsed the way a browser parses it (HTML5 rules: implied tbody, unclosed tags, ...).
// Every walk over the tree is iterative, so arbitrarily deep pages cannot exhaust the stack.
class HtmlDocument {
public:
    // The deepest nesting of elements a page may have. Reading a page costs time in proportion to
    // its size times its depth, and a service page is never more than a few dozen levels deep.
    static constexpr std::size_t MaxNestingDepth = 512;

    // `html` is the page's text in UTF-8; `url` is the page's final address, used to resolve links.
    // Raises Error for a page nested more than MaxNestingDepth elements deep.
    HtmlDocument(std::string_view html, std::string_view url);
    ~HtmlDocument();
    HtmlDocument(HtmlDocument&&) noexcept;
    HtmlDocument& operator=(HtmlDocument&&) noexcept;
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;

    // The body element; raises Error when the page has none (a frameset page).
    HtmlElement body() const;
    // The first element in document order whose id is exactly `id`; raises Error naming the id
    // when there is none.
    HtmlElement getElementById(std::string_view id) const;
    // The same lookup without raising: empty when no element has that id.
    std::optional<HtmlElement> findElementById(std::string_view id) const;
    // The address that relative links are resolved against (the <base href> when the page has one).
    const std::string& baseUrl() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// A read-only handle to one element of a parsed page. It is valid only while its document lives
// (moving the document keeps it valid); callers never keep one beyond the page it came from.
class HtmlElement {
public:
    // The element's name in capitals, such as "TR".
    std::string tagName() const;
    // The value of an attribute as the source gives it (entities decoded); empty when absent.
    std::string attribute(std::string_view name) const;
    // The rendered text without markup: whitespace collapsed, block boundaries and <br> as line
    // breaks, cells of a row separated by a tab, rows by a line break, nothing added at either
    // end; script, style, head content, template and hidden elements give nothing.
    std::string innerText() const;
    // The markup inside the element with element names in capitals ("<B>"), attribute names as in
    // the source, values in double quotes, text escaped.
    std::string innerHTML() const;
    // Every element with that tag name (any letter case; "*" for all) at any depth inside this
    // one, in document order.
    std::vector<HtmlElement> getElementsByTagName(std::string_view tagName) const;
    // The "href" attribute resolved against the page's address and any <base href>, fully
    // percent-encoded as a browser gives it; empty when the element has no "href".
    std::string href() const;

private:
    friend class HtmlDocument;
    HtmlElement(const HtmlDocument::Impl* page, const GumboInternalNode* node) : page_(page), node_(node) {}

    const HtmlDocument::Impl* page_;
    const GumboInternalNode* node_;
};

} // namespace awardsync
