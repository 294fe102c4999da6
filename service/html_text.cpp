// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/html_text.h"

#include "service/gumbo_tree.h"
#include "service/html_names.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace awardsync::dom {

namespace {

// Elements that a browser does not render (display: none in its default style sheet).
bool isNotRendered(const GumboNode* node) {
    if (node->type == GUMBO_NODE_TEMPLATE) {
        return true;
    }
    if (findAttribute(node, "hidden") != nullptr) {
        return true;
    }
    switch (node->v.element.tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_META:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_RP:
    case GUMBO_TAG_DATALIST:
    case GUMBO_TAG_AREA:
        return true;
    case GUMBO_TAG_UNKNOWN:
        return isDialog(node) && findAttribute(node, "open") == nullptr;
    default:
        return false;
    }
}

// Elements laid out as blocks by a browser's default style sheet: they start and end a line.
bool isBlock(const GumboNode* node) {
    switch (node->v.element.tag) {
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_XMP:
        return true;
    case GUMBO_TAG_UNKNOWN:
        return isDialog(node);
    default:
        return false;
    }
}

bool keepsWhitespace(const GumboNode* node) {
    return hasTag(node, {GUMBO_TAG_PRE, GUMBO_TAG_LISTING, GUMBO_TAG_XMP, GUMBO_TAG_PLAINTEXT, GUMBO_TAG_TEXTAREA});
}

// Whitespace between the sections, rows and cells of a table is not rendered at all.
bool isTableInternal(const GumboNode* node) {
    return hasTag(
        node, {GUMBO_TAG_TABLE, GUMBO_TAG_THEAD, GUMBO_TAG_TBODY, GUMBO_TAG_TFOOT, GUMBO_TAG_TR, GUMBO_TAG_COLGROUP});
}

bool isRenderedTag(const GumboNode* node, std::initializer_list<GumboTag> tags) {
    return hasTag(node, tags) && !isNotRendered(node);
}

// Whether a later rendered sibling of `node` is one of `tags`.
bool hasLaterSibling(const GumboNode* node, std::initializer_list<GumboTag> tags) {
    const GumboVector* siblings = childrenOf(node->parent);
    for (unsigned i = static_cast<unsigned>(node->index_within_parent) + 1; i < siblings->length; ++i) {
        if (isRenderedTag(childAt(siblings, i), tags)) {
            return true;
        }
    }
    return false;
}

bool isLastCellOfRow(const GumboNode* cell) {
    return !hasLaterSibling(cell, {GUMBO_TAG_TD, GUMBO_TAG_TH});
}

// The last row of its table, counting the rows of all of the table's sections.
bool isLastRowOfTable(const GumboNode* row) {
    for (unsigned i = static_cast<unsigned>(row->index_within_parent) + 1; i < childrenOf(row->parent)->length; ++i) {
        if (isRenderedTag(childAt(childrenOf(row->parent), i), {GUMBO_TAG_TR})) {
            return false;
        }
    }
    const GumboNode* section = row->parent;
    if (!hasTag(section, {GUMBO_TAG_THEAD, GUMBO_TAG_TBODY, GUMBO_TAG_TFOOT}) || section->parent == nullptr) {
        return true;
    }
    const GumboVector* sections = childrenOf(section->parent);
    for (unsigned i = static_cast<unsigned>(section->index_within_parent) + 1; i < sections->length; ++i) {
        const GumboNode* later = childAt(sections, i);
        if (isRenderedTag(later, {GUMBO_TAG_TR})) {
            return false;
        }
        if (isRenderedTag(later, {GUMBO_TAG_THEAD, GUMBO_TAG_TBODY, GUMBO_TAG_TFOOT})) {
            const GumboVector* rows = childrenOf(later);
            for (unsigned j = 0; j < rows->length; ++j) {
                if (isRenderedTag(childAt(rows, j), {GUMBO_TAG_TR})) {
                    return false;
                }
            }
        }
    }
    return true;
}

// Collects rendered text the way a browser's innerText does: collapsible whitespace becomes one
// blank, dropped at the start and end of lines; block boundaries ask for line breaks that are
// written only between pieces of text, never at either end.
class TextBuilder {
public:
    void text(std::string_view piece, bool keepWhitespace) {
        if (keepWhitespace) {
            if (!piece.empty()) {
                flush();
                out_.append(piece);
                atLineStart_ = piece.back() == '\n';
            }
            return;
        }
        for (char c : piece) {
            if (isHtmlSpace(c)) {
                if (!atLineStart_ && breaks_ == 0) {
                    space_ = true;
                }
                continue;
            }
            flush();
            out_.push_back(c);
            atLineStart_ = false;
        }
    }

    // A line break of <br>, or the tab and line break that separate cells and rows.
    void literal(char c) {
        space_ = false;
        flush();
        out_.push_back(c);
        atLineStart_ = true;
    }

    void requireBreaks(int count) {
        breaks_ = std::max(breaks_, count);
        space_ = false;
    }

    std::string result() && { return std::move(out_); }

private:
    void flush() {
        if (breaks_ > 0) {
            if (!out_.empty()) {
                out_.append(static_cast<std::size_t>(breaks_), '\n');
            }
            breaks_ = 0;
            space_ = false;
        } else if (space_) {
            out_.push_back(' ');
            space_ = false;
        }
    }

    std::string out_;
    int breaks_ = 0;
    bool space_ = false;
    bool atLineStart_ = true;
};

} // namespace

std::string renderedText(const GumboNode* element) {
    TextBuilder builder;
    int keepWhitespace = keepsWhitespace(element) ? 1 : 0;
    walkDescendants(
        element,
        [&](const GumboNode* node) {
            if (isText(node)) {
                bool spacing = node->type == GUMBO_NODE_WHITESPACE;
                if (!(spacing && isTableInternal(node->parent))) {
                    builder.text(node->v.text.text, keepWhitespace > 0);
                }
                return Visit::Skip;
            }
            if (!isElement(node) || isNotRendered(node)) {
                return Visit::Skip;
            }
            if (hasTag(node, GUMBO_TAG_BR)) {
                builder.literal('\n');
                return Visit::Skip;
            }
            if (hasTag(node, GUMBO_TAG_P)) {
                builder.requireBreaks(2);
            } else if (isBlock(node)) {
                builder.requireBreaks(1);
            }
            if (keepsWhitespace(node)) {
                ++keepWhitespace;
            }
            return Visit::Descend;
        },
        [&](const GumboNode* node) {
            if (keepsWhitespace(node)) {
                --keepWhitespace;
            }
            if (hasTag(node, GUMBO_TAG_P)) {
                builder.requireBreaks(2);
            } else if (isBlock(node)) {
                builder.requireBreaks(1);
            } else if (hasTag(node, {GUMBO_TAG_TD, GUMBO_TAG_TH}) && !isLastCellOfRow(node)) {
                builder.literal('\t');
            } else if (hasTag(node, GUMBO_TAG_TR) && !isLastRowOfTable(node)) {
                builder.literal('\n');
            }
        });
    return std::move(builder).result();
}

} // namespace awardsync::dom
