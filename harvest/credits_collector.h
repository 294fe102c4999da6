// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
    explicit CreditsCollector(const QLocale& locale = QLocale::system());

    void clear();
    // The credit-list page of the category at `award` listed `address`.
    void addListed(std::string_view address, std::size_t award);
    // The detail page at `address` gave `line`: the line gains the address's categories.
    void addLine(std::string_view line, std::string_view address);
    AwardSet awardsOfLine(std::string_view line) const;

    int account = 0;           // the account whose credit lists were read
    std::string detailAddress; // the detail page whose fields the next record line is built from

private:
    struct KeyLess {
        bool operator()(const QCollatorSortKey& a, const QCollatorSortKey& b) const { return a.compare(b) < 0; }
    };
    using Sets = std::map<QCollatorSortKey, AwardSet, KeyLess>;

    QCollatorSortKey keyOf(std::string_view text) const;
    static AwardSet find(const Sets& sets, const QCollatorSortKey& key);

    QCollator collator_;
    Sets addresses_;
    Sets lines_;
};

} // namespace awardsync
