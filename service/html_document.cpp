#include "service/html_document.h"

#include "core/error.h"
#include "core/text.h"

#include <QUrl>
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <gumbo.h>
#include <string>
#include <unordered_map>
#include <utility>

namespace awardsync {

namespace {

// Gumbo's own gumbo_destroy_output frees the tree recursively and overflows the stack on deeply
// nested pages, so every block Gumbo allocates is tracked here and released in one flat sweep.
class GumboMemory {
public:
    GumboMemory() = default;
    GumboMemory(const GumboMemory&) = delete;
    GumboMemory& operator=(const GumboMemory&) = delete;
    ~GumboMemory() {
        Block* block = head_.next;
        while (block != &head_) {
            Block* next = block->next;
            std::free(block);
            block = next;
        }
    }

    static void* allocate(void* userdata, std::size_t size) {
        auto* self = static_cast<GumboMemory*>(userdata);
        auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
        if (block == nullptr) {
            // Gumbo does not check for a failed allocation and an exception cannot unwind through C.
            std::abort();
        }
        block->prev = &self->head_;
        block->next = self->head_.next;
        self->head_.next->prev = block;
        self->head_.next = block;
        return block + 1;
    }

    static void deallocate(void*, void* pointer) {
        if (pointer == nullptr) {
            return;
        }
        Block* block = static_cast<Block*>(pointer) - 1;
        block->prev->next = block->next;
        block->next->prev = block->prev;
        std::free(block);
    }

private:
    // The header keeps the payload aligned as malloc would.
    struct alignas(std::max_align_t) Block {
        Block* prev;
        Block* next;
    };
    Block head_{&head_, &head_};
};

bool isElement(const GumboNode* node) {
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

bool isText(const GumboNode* node) {
    return node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA;
}

const GumboVector* childrenOf(const GumboNode* node) {
    if (node->type == GUMBO_NODE_DOCUMENT) {
        return &node->v.document.children;
    }
    return isElement(node) ? &node->v.element.children : nullptr;
}

const GumboNode* childAt(const GumboVector* children, unsigned index) {
    return static_cast<const GumboNode*>(children->data[index]);
}

// The element's name: lower case for the elements Gumbo knows, as written in the source otherwise.
std::string_view localName(const GumboNode* node) {
    const GumboElement& element = node->v.element;
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        return gumbo_normalized_tagname(element.tag);
    }
    GumboStringPiece name = element.original_tag;
    gumbo_tag_from_original_text(&name);
    return name.data == nullptr ? std::string_view() : std::string_view(name.data, name.length);
}

bool hasTag(const GumboNode* node, GumboTag tag) {
    return isElement(node) && node->v.element.tag == tag;
}

bool hasTag(const GumboNode* node, std::initializer_list<GumboTag> tags) {
    return isElement(node) && std::find(tags.begin(), tags.end(), node->v.element.tag) != tags.end();
}

const GumboAttribute* findAttribute(const GumboNode* node, const char* name) {
    return isElement(node) ? gumbo_get_attribute(&node->v.element.attributes, name) : nullptr;
}

enum class Visit { Skip, Descend, Stop };

// Walks the descendants of `root` in document order without recursion. `enter` is called on
// every node reached and decides whether to go into it; `leave` is called after the children of
// every node that was entered with Descend.
template <typename Enter, typename Leave> void walkDescendants(const GumboNode* root, Enter&& enter, Leave&& leave) {
    struct Frame {
        const GumboNode* node;
        unsigned next;
    };
    std::vector<Frame> stack{{root, 0}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        const GumboVector* children = childrenOf(top.node);
        if (children == nullptr || top.next >= children->length) {
            const GumboNode* done = top.node;
            stack.pop_back();
            if (!stack.empty()) {
                leave(done);
            }
            continue;
        }
        const GumboNode* child = childAt(children, top.next++);
        switch (enter(child)) {
        case Visit::Skip:
            break;
        case Visit::Descend:
            stack.push_back({child, 0});
            break;
        case Visit::Stop:
            return;
        }
    }
}

template <typename Enter> void walkDescendants(const GumboNode* root, Enter&& enter) {
    walkDescendants(root, std::forward<Enter>(enter), [](const GumboNode*) {});
}

// Gumbo predates <dialog> and leaves it an unknown element.
bool isDialog(const GumboNode* node) {
    return node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML && equalsIgnoreAsciiCase(localName(node), "dialog");
}

// ---- innerText -------------------------------------------------------------------------------

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

// Whitespace between the parts of a table is not rendered at all.
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
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
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

// ---- innerHTML -------------------------------------------------------------------------------

bool isVoid(const GumboNode* node) {
    return hasTag(node,
                  {GUMBO_TAG_AREA, GUMBO_TAG_BASE, GUMBO_TAG_BASEFONT, GUMBO_TAG_BGSOUND, GUMBO_TAG_BR, GUMBO_TAG_COL,
                   GUMBO_TAG_EMBED, GUMBO_TAG_FRAME, GUMBO_TAG_HR, GUMBO_TAG_IMG, GUMBO_TAG_INPUT, GUMBO_TAG_KEYGEN,
                   GUMBO_TAG_LINK, GUMBO_TAG_META, GUMBO_TAG_PARAM, GUMBO_TAG_SOURCE, GUMBO_TAG_TRACK, GUMBO_TAG_WBR});
}

// Elements whose text is written back as it stands, without escaping.
bool holdsRawText(const GumboNode* node) {
    return hasTag(node, {GUMBO_TAG_STYLE, GUMBO_TAG_SCRIPT, GUMBO_TAG_XMP, GUMBO_TAG_IFRAME, GUMBO_TAG_NOEMBED,
                         GUMBO_TAG_NOFRAMES, GUMBO_TAG_PLAINTEXT});
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

std::string upperTagName(const GumboNode* node) {
    std::string name(localName(node));
    if (node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML) {
        name = asciiUpper(name);
    }
    return name;
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

// ---- nesting limit ---------------------------------------------------------------------------

// Gumbo's tree builder takes time in the square of the nesting depth (100,000 nested elements take
// many seconds), so the page's tags are looked over before it is parsed. This count is rough by
// design and errs on the high side only for markup far from anything a service sends: an end
// tag closes up to its own element, a cell, row, item, option or paragraph closes an open one of
// its kind close above it, and void elements, comments and the text of scripts and styles do not
// count. Its limit is generous so that untidy pages with end tags left out are never refused;
// the exact depth is checked on the parsed tree.
constexpr std::size_t MaxRoughNesting = 8 * HtmlDocument::MaxNestingDepth;

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isTagSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

class RoughNesting {
public:
    // The deepest nesting seen in `html`, or a value above `limit` as soon as it passes it.
    static std::size_t measure(std::string_view html, std::size_t limit) {
        RoughNesting scan(html);
        return scan.run(limit);
    }

private:
    explicit RoughNesting(std::string_view html) : html_(html) {}

    std::size_t run(std::size_t limit) {
        std::size_t deepest = 0;
        while ((pos_ = html_.find('<', pos_)) != std::string_view::npos && deepest <= limit) {
            if (html_.substr(pos_, 4) == "<!--") {
                skipPast("-->", pos_ + 4);
            } else if (pos_ + 1 < html_.size() && isAsciiLetter(html_[pos_ + 1])) {
                if (!startTag()) {
                    break; // plaintext: the rest of the page is text
                }
            } else if (pos_ + 2 < html_.size() && html_[pos_ + 1] == '/' && isAsciiLetter(html_[pos_ + 2])) {
                endTag();
            } else if (pos_ + 1 < html_.size() &&
                       (html_[pos_ + 1] == '!' || html_[pos_ + 1] == '?' || html_[pos_ + 1] == '/')) {
                skipPast(">", pos_ + 1);
            } else {
                ++pos_;
            }
            deepest = std::max(deepest, open_.size());
        }
        return deepest;
    }

    void skipPast(std::string_view end, std::size_t from) {
        std::size_t found = html_.find(end, from);
        pos_ = found == std::string_view::npos ? html_.size() : found + end.size();
    }

    // Reads the name after "<" or "</" in lower case and leaves pos_ after the tag's ">".
    // Returns whether the tag closes itself ("/>").
    bool readTag(std::size_t nameStart, std::string& name) {
        std::size_t i = nameStart;
        while (i < html_.size() && !isTagSpace(html_[i]) && html_[i] != '/' && html_[i] != '>') {
            ++i;
        }
        name.assign(html_.substr(nameStart, i - nameStart));
        name = asciiLower(name);
        bool selfClosing = false;
        while (i < html_.size() && html_[i] != '>') {
            selfClosing = html_[i] == '/';
            if (html_[i] == '=') {
                // Only a value that starts with a quote may hold a ">".
                ++i;
                while (i < html_.size() && isTagSpace(html_[i])) {
                    ++i;
                }
                if (i < html_.size() && (html_[i] == '"' || html_[i] == '\'')) {
                    std::size_t close = html_.find(html_[i], i + 1);
                    i = close == std::string_view::npos ? html_.size() : close + 1;
                }
                continue;
            }
            ++i;
        }
        pos_ = std::min(i + 1, html_.size());
        return selfClosing;
    }

    bool startTag() {
        std::string name;
        const bool selfClosing = readTag(pos_ + 1, name);
        if (name == "plaintext") {
            return false;
        }
        if (isOneOf(name, {"script", "style", "xmp", "iframe", "noembed", "noframes", "textarea", "title"})) {
            skipRawText(name);
            return true;
        }
        if (isOneOf(name, {"area",  "base",   "basefont", "bgsound", "br",     "col",  "embed",    "frame",
                           "hr",    "image",  "img",      "input",   "keygen", "link", "menuitem", "meta",
                           "param", "source", "track",    "wbr",     "html",   "head", "body"})) {
            return true;
        }
        if (selfClosing && (count("svg") > 0 || count("math") > 0)) {
            return true;
        }
        if (isOneOf(name, {"td", "th"})) {
            closeSibling({"td", "th"}, {"table"});
        } else if (name == "tr") {
            closeSibling({"tr"}, {"table"});
        } else if (isOneOf(name, {"thead", "tbody", "tfoot"})) {
            closeSibling({"thead", "tbody", "tfoot"}, {"table"});
        } else if (name == "li") {
            closeSibling({"li"}, {"ul", "ol", "menu"});
        } else if (isOneOf(name, {"dt", "dd"})) {
            closeSibling({"dt", "dd"}, {"dl"});
        } else if (isOneOf(name, {"option", "optgroup"})) {
            closeSibling(name == "option" ? std::initializer_list<std::string_view>{"option"}
                                          : std::initializer_list<std::string_view>{"option", "optgroup"},
                         {"select", "datalist"});
        } else if (name == "p") {
            closeSibling({"p"}, {"table", "td", "th", "li", "div"});
        }
        ++counts_[name];
        open_.push_back(std::move(name));
        return true;
    }

    void endTag() {
        std::string name;
        readTag(pos_ + 2, name);
        if (count(name) > 0) {
            while (popLast() != name) {
            }
        }
    }

    // Closes the nearest open element of `kinds` when it lies a few levels up without one of
    // `boundaries` in between: enough for the formatting left open inside a cell or item.
    void closeSibling(std::initializer_list<std::string_view> kinds,
                      std::initializer_list<std::string_view> boundaries) {
        constexpr std::size_t Reach = 8;
        for (std::size_t i = open_.size(); i > 0 && open_.size() - i < Reach; --i) {
            const std::string& name = open_[i - 1];
            if (isOneOf(name, boundaries)) {
                return;
            }
            if (isOneOf(name, kinds)) {
                while (open_.size() >= i) {
                    popLast();
                }
                return;
            }
        }
    }

    void skipRawText(const std::string& name) {
        while ((pos_ = html_.find("</", pos_)) != std::string_view::npos) {
            if (equalsIgnoreAsciiCase(html_.substr(pos_ + 2, name.size()), name)) {
                skipPast(">", pos_ + 2);
                return;
            }
            pos_ += 2;
        }
        pos_ = html_.size();
    }

    std::size_t count(const std::string& name) const {
        auto found = counts_.find(name);
        return found == counts_.end() ? 0 : found->second;
    }

    std::string popLast() {
        std::string name = std::move(open_.back());
        open_.pop_back();
        --counts_[name];
        return name;
    }

    std::string_view html_;
    std::size_t pos_ = 0;
    std::vector<std::string> open_;
    std::unordered_map<std::string, std::size_t> counts_;
};

// The deepest element of the parsed tree, counting from the root element as 1.
std::size_t treeDepth(const GumboNode* document) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    walkDescendants(
        document,
        [&](const GumboNode* node) {
            if (!isElement(node)) {
                return Visit::Skip;
            }
            deepest = std::max(deepest, ++depth);
            return Visit::Descend;
        },
        [&](const GumboNode*) { --depth; });
    return deepest;
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
    if (RoughNesting::measure(html, MaxRoughNesting) > MaxRoughNesting) {
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
    TextBuilder builder;
    int keepWhitespace = keepsWhitespace(node_) ? 1 : 0;
    walkDescendants(
        node_,
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

std::string HtmlElement::innerHTML() const {
    std::string out;
    walkDescendants(
        node_,
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
