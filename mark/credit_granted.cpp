// SPDX-License-Identifier: GPL-3.0-or-later
#include "credit_granted.h"

#include "core/text.h"

#include <algorithm>

namespace awardsync::mark {

namespace {

bool isWord(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// Calls `each(piece)` for every piece of `text` between separators.
template <typename Each> void forEachPiece(std::string_view text, char separator, Each each) {
    for (std::size_t begin = 0; begin <= text.size();) {
        const std::size_t end = std::min(text.find(separator, begin), text.size());
        each(text.substr(begin, end - begin));
        begin = end + 1;
    }
}

} // namespace

CreditList::CreditList(std::string_view list) {
    forEachPiece(list, ',', [&](std::string_view item) { append(item); });
}

void CreditList::append(std::string_view text) {
    Item& item = items_.emplace_back();
    item.text = std::string(text);
    item.colon = item.text.find(':');
    const std::string_view name = trimBlanks(std::string_view(item.text).substr(0, item.colon));
    if (!name.empty()) {
        first_.try_emplace(asciiUpper(name), items_.size() - 1);
    }
}

void CreditList::readMedia(Item& item) {
    forEachPiece(std::string_view(item.text).substr(item.colon + 1), '&',
                 [&](std::string_view medium) { item.media.insert(asciiUpper(trimBlanks(medium))); });
    item.mediaRead = true;
}

bool CreditList::add(std::string_view credit, std::string_view medium) {
    if (credit.empty() || !isWord(credit) || !isWord(medium)) {
        return false;
    }
    const std::string name = asciiUpper(credit);
    const auto found = first_.find(name);
    if (found == first_.end()) {
        // A blank list gives way to the item; a list ending in "," (blanks after it aside) takes it after that.
        std::string item(credit);
        if (!medium.empty()) {
            item.append(":").append(medium);
        }
        if (const Item& last = items_.back(); trimBlanks(last.text).empty()) {
            const std::string joined = (items_.size() == 1 ? std::string() : last.text) + item;
            items_.pop_back();
            append(joined);
        } else {
            append(item);
        }
        return true;
    }
    Item& item = items_[found->second];
    if (medium.empty() || item.colon == std::string::npos) {
        return false; // any item of it holds the credit; one without media holds every medium
    }
    if (!item.mediaRead) {
        readMedia(item);
    }
    const std::string upper = asciiUpper(medium);
    if (!item.media.insert(upper).second) {
        return false;
    }
    if (!item.tidy) {
        std::string tidied = item.text.substr(0, item.colon + 1);
        forEachPiece(std::string_view(item.text).substr(item.colon + 1), '&', [&](std::string_view held) {
            if (!trimBlanks(held).empty()) {
                tidied.append(held).push_back('&');
            }
        });
        item.text = std::move(tidied);
        item.tidy = true;
    } else {
        item.text.push_back('&');
    }
    item.text += medium;
    return true;
}

std::string CreditList::text() const {
    std::size_t size = items_.size();
    for (const Item& item : items_) {
        size += item.text.size();
    }
    std::string list;
    list.reserve(size);
    for (const Item& item : items_) {
        if (&item != &items_.front()) {
            list.push_back(',');
        }
        list += item.text;
    }
    return list;
}

std::optional<std::string> addCreditMedium(std::string_view list, std::string_view credit, std::string_view medium) {
    CreditList credits(list);
    return credits.add(credit, medium) ? std::optional(credits.text()) : std::nullopt;
}

} // namespace awardsync::mark
