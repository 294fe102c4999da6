// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/html_document.h"

#include "core/error.h"
#include "core/text.h"
#include "service/gumbo_tree.h"
#include "service/html_markup.h"
#include "service/html_nesting.h"
#include "service/html_text.h"

#include <QUrl>
#include <string>
#include <utility>

namespace awardsync {

using namespace dom;

namespace {

// Browsers drop tabs and line breaks inside an address and blanks and control codes around it.
std::string cleanUrlText(std::string_view text) {
    text = trimControl(text);
    std::string cleaned;
    cleaned.reserve(text.size());
    for (char c : text) {
        if (c != '\t' && c != '\n' && c != '\r') {
            cleaned.push_back(c);
        }
    }
    return cleaned;
}

} // namespace

struct HtmlDocument::Impl {
    std::string html; // Gumbo's tree points into this text
    GumboMemory memory;
    GumboOutput* output = nullptr;
    QUrl base;
    std::string baseText;

    const GumboNode* findById(std::string_view id) const {
        const GumboNode* found = nullptr;
        if (id.empty()) {
            return found;
        }
        walkDescendants(output->document, [&](const GumboNode* node) {
            if (node->type != GUMBO_NODE_ELEMENT) {
                return Visit::Skip; // template contents are not part of the document
            }
            const GumboAttribute* attribute = findAttribute(node, "id");
            if (attribute != nullptr && attribute->value == id) {
                found = node;
                return Visit::Stop;
            }
            return Visit::Descend;
        });
        return found;
    }
};

HtmlDocument::HtmlDocument(std::string_view html, std::string_view url) : impl_(std::make_unique<Impl>()) {
    const Error tooDeep("the page is nested more than " + std::to_string(MaxNestingDepth) + " levels deep");
    if (nestsRoughlyDeeperThan(html, MaxNestingDepth)) {
        throw tooDeep;
    }
    impl_->html.assign(html);
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &GumboMemory::allocate;
    options.deallocator = &GumboMemory::deallocate;
    options.userdata = &impl_->memory;
    options.max_errors = 0; // parse errors are of no use here and cost memory on broken pages
    impl_->output = gumbo_parse_with_options(&options, impl_->html.data(), impl_->html.size());
    if (treeDepth(impl_->output->document) > MaxNestingDepth) {
        throw tooDeep;
    }

    const QUrl pageUrl(toQt(url));
    impl_->base = pageUrl;
    const GumboNode* baseElement = nullptr;
    walkDescendants(impl_->output->document, [&](const GumboNode* node) {
        if (node->type != GUMBO_NODE_ELEMENT) {
            return Visit::Skip;
        }
        if (node->v.element.tag == GUMBO_TAG_BASE && findAttribute(node, "href") != nullptr) {
            baseElement = node;
            return Visit::Stop;
        }
        return Visit::Descend;
    });
    if (baseElement != nullptr) {
        QUrl declared = pageUrl.resolved(QUrl(toQt(cleanUrlText(findAttribute(baseElement, "href")->value))));
        if (declared.isValid()) {
            impl_->base = declared;
        }
    }
    impl_->baseText = fromQt(impl_->base.toString(QUrl::FullyEncoded));
}

HtmlDocument::~HtmlDocument() = default;
HtmlDocument::HtmlDocument(HtmlDocument&&) noexcept = default;
HtmlDocument& HtmlDocument::operator=(HtmlDocument&&) noexcept = default;

HtmlElement HtmlDocument::body() const {
    const GumboNode* root = impl_->output->root;
    const GumboVector* children = childrenOf(root);
    for (unsigned i = 0; i < children->length; ++i) {
        if (hasTag(childAt(children, i), GUMBO_TAG_BODY)) {
            return HtmlElement(impl_.get(), childAt(children, i));
        }
    }
    throw Error("The page has no body");
}

HtmlElement HtmlDocument::getElementById(std::string_view id) const {
    if (std::optional<HtmlElement> element = findElementById(id)) {
        return *element;
    }
    throw Error("The page has no element with the id \"" + std::string(id) + "\"");
}

std::optional<HtmlElement> HtmlDocument::findElementById(std::string_view id) const {
    const GumboNode* node = impl_->findById(id);
    if (node == nullptr) {
        return std::nullopt;
    }
    return HtmlElement(impl_.get(), node);
}

const std::string& HtmlDocument::baseUrl() const {
    return impl_->baseText;
}

std::string HtmlElement::tagName() const {
    return upperTagName(node_);
}

std::string HtmlElement::attribute(std::string_view name) const {
    const GumboAttribute* attribute = findAttribute(node_, std::string(name).c_str());
    return attribute == nullptr ? std::string() : std::string(attribute->value);
}

std::string HtmlElement::innerText() const {
    return renderedText(node_);
}

std::string HtmlElement::innerHTML() const {
    return innerMarkup(node_);
}

std::vector<HtmlElement> HtmlElement::getElementsByTagName(std::string_view tagName) const {
    std::vector<HtmlElement> found;
    const bool any = tagName == "*";
    walkDescendants(node_, [&](const GumboNode* node) {
        if (!isElement(node)) {
            return Visit::Skip;
        }
        if (any || equalsIgnoreAsciiCase(localName(node), tagName)) {
            found.push_back(HtmlElement(page_, node));
        }
        // Template contents are a separate fragment in a browser, not descendants.
        return node->type == GUMBO_NODE_TEMPLATE ? Visit::Skip : Visit::Descend;
    });
    return found;
}

std::string HtmlElement::href() const {
    const GumboAttribute* attribute = findAttribute(node_, "href");
    if (attribute == nullptr) {
        return {};
    }
    QUrl resolved = page_->base.resolved(QUrl(toQt(cleanUrlText(attribute->value))));
    // A browser gives the attribute as it stands when it cannot be read as an address.
    if (!resolved.isValid()) {
        return attribute->value;
    }
    return fromQt(resolved.toString(QUrl::FullyEncoded));
}

} // namespace awardsync
