// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/credits_collector.h"

#include "core/string_list.h"
#include "core/text.h"

namespace awardsync {

std::vector<std::string_view> awardIdsOf(const AwardSet& awards) {
    std::vector<std::string_view> ids;
    for (std::size_t i = 0; i < AwardIds.size(); ++i) {
        if (awards.test(i)) {
            ids.emplace_back(AwardIds[i]);
        }
    }
    return ids;
}

std::vector<std::string_view> creditsGrantedBy(const AwardSet& awards) {
    std::vector<std::string_view> credits;
    for (const char* credit : CreditOrder) {
        for (std::size_t i = 0; i < AwardCredits.size(); ++i) {
            if (awards.test(i) && std::string_view(AwardCredits[i]) == credit) {
                credits.emplace_back(credit);
                break;
            }
        }
    }
    return credits;
}

CreditsCollector::CreditsCollector(const QLocale& locale) : collator_(makeListCollator(locale)) {}

void CreditsCollector::clear() {
    addresses_.clear();
    lines_.clear();
}

void CreditsCollector::addListed(std::string_view address, std::size_t award) {
    addresses_[keyOf(address)].set(award);
}

void CreditsCollector::addLine(std::string_view line, std::string_view address, std::string_view pageLine) {
    const auto listed = addresses_.find(keyOf(address));
    LineCredits& credits = lines_[keyOf(line)];
    if (listed != addresses_.end()) {
        credits.awards |= listed->second;
    }
    if (credits.address.empty()) {
        credits.address = address;
        credits.pageLine = pageLine;
    }
}

AwardSet CreditsCollector::awardsOfLine(std::string_view line) const {
    return creditsOfLine(line).awards;
}

CreditsCollector::LineCredits CreditsCollector::creditsOfLine(std::string_view line) const {
    const auto at = lines_.find(keyOf(line));
    return at == lines_.end() ? LineCredits() : at->second;
}

QCollatorSortKey CreditsCollector::keyOf(std::string_view text) const {
    return collator_.sortKey(toQt(text));
}

} // namespace awardsync
