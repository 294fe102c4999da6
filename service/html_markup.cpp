// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/html_markup.h"

#include "core/text.h"
#include "service/gumbo_tree.h"
#include "service/html_names.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace awardsync::dom {

namespace {

// The Gumbo tags of a list of element names.
template <typename Names> std::vector<GumboTag> tagsOf(const Names& names) {
    std::vector<GumboTag> tags;
    for (std::string_view name : names) {
        tags.push_back(gumbo_tagn_enum(name.data(), static_cast<unsigned>(name.size())));
    }
    return tags;
}

bool hasTagIn(const GumboNode* node, const std::vector<GumboTag>& tags) {
    return isElement(node) && std::find(tags.begin(), tags.end(), node->v.element.tag) != tags.end();
}

bool isVoid(const GumboNode* node) {
    static const std::vector<GumboTag> tags = tagsOf(VoidElements);
    return hasTagIn(node, tags);
}

// Elements whose text is written back as it stands, without escaping.
bool holdsRawText(const GumboNode* node) {
    static const std::vector<GumboTag> tags = tagsOf(RawTextElements);
    return hasTagIn(node, tags) || hasTag(node, GUMBO_TAG_PLAINTEXT);
}

constexpr std::string_view NoBreakSpace = "\xC2\xA0";

void appendEscaped(std::string& out, std::string_view text, bool inAttribute) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '&') {
            out += "&amp;";
        } else if (text.substr(i, NoBreakSpace.size()) == NoBreakSpace) {
            out += "&nbsp;";
            ++i;
        } else if (inAttribute && c == '"') {
            out += "&quot;";
        } else if (!inAttribute && c == '<') {
            out += "&lt;";
        } else if (!inAttribute && c == '>') {
            out += "&gt;";
        } else {
            out.push_back(c);
        }
    }
}

void appendStartTag(std::string& out, const GumboNode* node) {
    out.push_back('<');
    out += upperTagName(node);
    const GumboVector& attributes = node->v.element.attributes;
    for (unsigned i = 0; i < attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
        out.push_back(' ');
        if (attribute->original_name.length > 0) {
            out.append(attribute->original_name.data, attribute->original_name.length);
        } else {
            out += attribute->name;
        }
        out += "=\"";
        appendEscaped(out, attribute->value, true);
        out.push_back('"');
    }
    out.push_back('>');
}

} // namespace

std::string upperTagName(const GumboNode* element) {
    std::string name(localName(element));
    if (element->v.element.tag_namespace == GUMBO_NAMESPACE_HTML) {
        name = asciiUpper(name);
    }
    return name;
}

std::string innerMarkup(const GumboNode* element) {
    std::string out;
    walkDescendants(
        element,
        [&](const GumboNode* node) {
            switch (node->type) {
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE:
                appendStartTag(out, node);
                return isVoid(node) ? Visit::Skip : Visit::Descend;
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
                if (holdsRawText(node->parent)) {
                    out += node->v.text.text;
                } else {
                    appendEscaped(out, node->v.text.text, false);
                }
                break;
            case GUMBO_NODE_CDATA:
                out += "<![CDATA[";
                out += node->v.text.text;
                out += "]]>";
                break;
            case GUMBO_NODE_COMMENT:
                out += "<!--";
                out += node->v.text.text;
                out += "-->";
                break;
            case GUMBO_NODE_DOCUMENT:
                break;
            }
            return Visit::Skip;
        },
        [&](const GumboNode* node) {
            out += "</";
            out += upperTagName(node);
            out.push_back('>');
        });
    return out;
}

} // namespace awardsync::dom
