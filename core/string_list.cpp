// SPDX-License-Identifier: GPL-3.0-or-later
#include "string_list.h"

#include "text.h"

#include <algorithm>

namespace awardsync {

QCollator makeListCollator(const QLocale& locale) {
    QCollator collator(locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

SortedStringList::SortedStringList(const QLocale& locale) : collator_(makeListCollator(locale)) {}

bool SortedStringList::add(std::string_view text) {
    QCollatorSortKey key = collator_.sortKey(toQt(text));
    auto pos = std::lower_bound(entries_.begin(), entries_.end(), key,
                                [](const Entry& entry, const QCollatorSortKey& k) { return entry.key.compare(k) < 0; });
    if (pos != entries_.end() && pos->key.compare(key) == 0) {
        return false;
    }
    entries_.insert(pos, Entry{std::string(text), std::move(key)});
    return true;
}

std::vector<std::string> SortedStringList::lines() const {
    std::vector<std::string> result;
    result.reserve(entries_.size());
    for (const Entry& entry : entries_) {
        result.push_back(entry.text);
    }
    return result;
}

NameValueList::NameValueList(const QLocale& locale) : collator_(makeListCollator(locale)) {}

std::ptrdiff_t NameValueList::indexOf(std::string_view name) const {
    const QString wanted = toQt(name);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::string& entry = entries_[i];
        std::string_view entryName(entry.data(), std::min(entry.find('='), entry.size()));
        if (collator_.compare(toQt(entryName), wanted) == 0) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}

std::string NameValueList::value(std::string_view name) const {
    std::ptrdiff_t index = indexOf(name);
    if (index < 0) {
        return {};
    }
    const std::string& entry = entries_[static_cast<std::size_t>(index)];
    std::size_t eq = entry.find('=');
    return eq == std::string::npos ? std::string() : entry.substr(eq + 1);
}

void NameValueList::setValue(std::string_view name, std::string_view value) {
    std::ptrdiff_t index = indexOf(name);
    if (value.empty()) {
        if (index >= 0) {
            entries_.erase(entries_.begin() + index);
        }
        return;
    }
    std::string entry = std::string(name) + "=" + std::string(value);
    if (index >= 0) {
        entries_[static_cast<std::size_t>(index)] = std::move(entry);
    } else {
        entries_.push_back(std::move(entry));
    }
}

} // namespace awardsync
