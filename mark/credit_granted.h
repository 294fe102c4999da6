// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace awardsync::mark {

// A CREDIT_GRANTED value that credits are added to one after another, in the ADIF standard's credit list
// form: items separated by ",", each a credit name optionally followed by ":" and media separated by "&"
// (IOTA,WAS:LOTW&CARD,DXCC:CARD); names and media compare without regard to letter case.
// - an item of that credit that lacks the medium gains it at the end of its media (DXCC:CARD gives
//   DXCC:CARD&LOTW), and loses its empty media on the way (DXCC:CARD& gives DXCC:CARD&LOTW); the first
//   item of that credit is the one that gains;
// - an item of that credit without media counts as holding the credit already;
// - without an item of that credit, a new one goes at the end (WAS:LOTW gives WAS:LOTW,DXCC:LOTW).
// Every other byte stays as it was. Each addition costs the same however long the list grows (a list of
// 100,000 items, or an item of 150,000 media).
class CreditList {
public:
    explicit CreditList(std::string_view list);

    // Adds `credit` through `medium`, or without media when `medium` is empty (then any item of that
    // credit holds it already). False when the list holds it already, and when the credit or medium is
    // not a word of letters, digits and "_": nothing that could end the value or forge an item ("<",
    // ",", "&", ":") is ever written.
    bool add(std::string_view credit, std::string_view medium);

    std::string text() const;

private:
    struct Item {
        std::string text;      // as written, without the "," around it
        std::size_t colon = 0; // where its media begin, less one; std::string::npos: none
        bool tidy = false;     // its media hold no empty one (every medium added makes it so)
        bool mediaRead = false;
        std::unordered_set<std::string> media; // upper case, once an addition asked
    };
    void readMedia(Item& item);
    void append(std::string_view item);

    std::vector<Item> items_;
    std::unordered_map<std::string, std::size_t> first_; // upper-case name: its first item
};

// The value of CREDIT_GRANTED with `credit` granted through `medium` added (CreditList's rules), or nothing
// when the list already holds the credit and medium.
std::optional<std::string> addCreditMedium(std::string_view list, std::string_view credit, std::string_view medium);

} // namespace awardsync::mark
