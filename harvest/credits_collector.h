// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/string_list.h"
#include "harvest/award_ids.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <bitset>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace awardsync {

// A set of award categories, by their position in AwardIds.
using AwardSet = std::bitset<AwardIds.size()>;

// The award ids of `awards`, in table order.
std::vector<std::string_view> awardIdsOf(const AwardSet& awards);
// The ADIF credits that `awards` grant, in CreditOrder, each once.
std::vector<std::string_view> creditsGrantedBy(const AwardSet& awards);

// What a run learns of each QSO's categories: the categories whose credit-list page listed an
// address, and through the address those of the record line its detail page gave. Addresses and
// lines compare as the run's sorted lists compare them, so ones a list holds once share one set.
class CreditsCollector {
public:
    // What the credits file says of one record line.
    struct LineCredits {
        AwardSet awards;
        std::string address;  // the first detail page that gave the line
        std::string pageLine; // the line as that page gave it, PHONE not yet written as SSB
    };

    explicit CreditsCollector(const QLocale& locale = QLocale::system());

    void clear();
    // The credit-list page of the category at `award` listed `address`.
    void addListed(std::string_view address, std::size_t award);
    // The detail page at `address` gave `line` (`pageLine` before PHONE was written as SSB): the
    // line gains the address's categories.
    void addLine(std::string_view line, std::string_view address, std::string_view pageLine);
    AwardSet awardsOfLine(std::string_view line) const;
    // Empty for a line no page gave.
    LineCredits creditsOfLine(std::string_view line) const;

private:
    QCollatorSortKey keyOf(std::string_view text) const;

    QCollator collator_;
    std::map<QCollatorSortKey, AwardSet, SortKeyLess> addresses_;
    std::map<QCollatorSortKey, LineCredits, SortKeyLess> lines_;
};

} // namespace awardsync
