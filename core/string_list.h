// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace awardsync {

// The collation that both kinds of list use: the user's locale, letter case ignored. In the C
// locale Qt would fall back to code point order, so English is used there to keep sorting linguistic.
QCollator makeListCollator(const QLocale& locale = QLocale::system());

// Orders collation keys, for maps keyed by them.
struct SortKeyLess {
    bool operator()(const QCollatorSortKey& a, const QCollatorSortKey& b) const { return a.compare(b) < 0; }
};

// Strings kept in ascending collation order, each once: adding a string that compares equal to
// one already present (for instance one that differs only in letter case) leaves the list as it is.
class SortedStringList {
public:
    explicit SortedStringList(const QLocale& locale = QLocale::system());

    // Returns true when the string was inserted, false when an equal one was already there.
    bool add(std::string_view text);
    const std::string& operator[](std::size_t index) const { return entries_.at(index).text; }
    std::size_t count() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear() { entries_.clear(); }
    std::vector<std::string> lines() const;

private:
    struct Entry {
        std::string text;
        QCollatorSortKey key;
    };
    QCollator collator_;
    std::vector<Entry> entries_;
};

// An unsorted list of "name=value" entries. The name is the text before the first "="; names
// are looked up ignoring letter case; a missing name reads as the empty value.
class NameValueList {
public:
    explicit NameValueList(const QLocale& locale = QLocale::system());

    std::string value(std::string_view name) const;
    // Replaces the entry of that name in place (taking the name as given now), appends a new
    // entry when there is none, and removes the entry when the value is empty.
    void setValue(std::string_view name, std::string_view value);
    const std::string& operator[](std::size_t index) const { return entries_.at(index); }
    std::size_t count() const { return entries_.size(); }
    void clear() { entries_.clear(); }

private:
    std::ptrdiff_t indexOf(std::string_view name) const;

    QCollator collator_;
    std::vector<std::string> entries_;
};

} // namespace awardsync
