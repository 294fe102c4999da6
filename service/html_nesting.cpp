// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/html_nesting.h"

#include "core/text.h"
#include "service/gumbo_tree.h"
#include "service/html_names.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace awardsync::dom {

namespace {

constexpr std::size_t RoughNestingFactor = 8;

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
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
        while (i < html_.size() && !isHtmlSpace(html_[i]) && html_[i] != '/' && html_[i] != '>') {
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
                while (i < html_.size() && isHtmlSpace(html_[i])) {
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
        // Textarea and title hold text up to their end tag too, only with entities decoded.
        if (isOneOf(name, RawTextElements) || isOneOf(name, {"textarea", "title"})) {
            skipRawText(name);
            return true;
        }
        // Void elements add no level, nor do <image> (read as <img>), <menuitem> (empty in older
        // HTML), and html, head and body, which every page has whether written or not.
        if (isOneOf(name, VoidElements) || isOneOf(name, {"image", "menuitem", "html", "head", "body"})) {
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

} // namespace

bool nestsRoughlyDeeperThan(std::string_view html, std::size_t maxDepth) {
    const std::size_t limit = RoughNestingFactor * maxDepth;
    return RoughNesting::measure(html, limit) > limit;
}

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

} // namespace awardsync::dom
