// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The standings of a run on files: the summary line, and the page and the application list when asked
// for, saved whole or not at all.
#include "core/atomic_save.h"
#include "core/text.h"
#include "marking.h"
#include "standings.h"

#include <QByteArray>
#include <QDateTime>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace awardsync::mark {

// The standings of a credit source and a log, with the log's bytes that the QSOs shown point into.
struct StandingsData {
    std::string creditsPath, logPath;
    QByteArray log;
    std::string_view logBytes() const { return viewOf(log); }
    Standings standings;
    // When the credit source was made (its header's CREATED_TIMESTAMP, UTC); none for a records file or a
    // header without one.
    std::optional<QDateTime> creditsCreated;
};

// The standings of what markFiles hands over: the credits, the log's bytes (kept), its tally and the
// credit source's time.
std::shared_ptr<const StandingsData> standingsOfMarking(const MarkInputs& read, const std::string& creditsPath,
                                                        const std::string& logPath);
// The same without the credit source's time.
std::shared_ptr<const StandingsData> standingsOfMarking(const std::vector<Credit>& credits, const QByteArray& log,
                                                        const StandingsTally& tally, const std::string& creditsPath,
                                                        const std::string& logPath);

// A CREATED_TIMESTAMP ("YYYYMMDD HHMMSS", UTC; "YYYYMMDD HHMM" read too) as a time, or none.
std::optional<QDateTime> creditsCreatedTime(std::string_view timestamp);
// "2026-12-09 17:05 UTC".
std::string utcText(const QDateTime& time);

// The page of standingsHtml() for these standings, made at `made`.
std::string standingsPage(const StandingsData& data, const QDateTime& made = QDateTime::currentDateTimeUtc());

struct StandingsRequest {
    std::string htmlPath;       // --standings: the page; empty: none
    std::string applyPath;      // --apply: the application list as ADI; empty: none
    std::string applyLotwPath;  // --apply-lotw: its QSOs confirmed by LoTW; empty: none
    std::string applyCardsPath; // --apply-cards: its QSOs confirmed by card; empty: none
    bool only = false;          // --standings-only: no marking

    // The outputs' paths in the order they are checked, written and saved; empty ones included.
    std::array<const std::string*, 4> paths() const { return {&htmlPath, &applyPath, &applyLotwPath, &applyCardsPath}; }
};

class StandingsOutput {
public:
    // Opens the outputs asked for, before anything else is written: a path that is one of `taken`
    // (the inputs and the marking's outputs) or the other standings output, or that cannot be
    // written, is refused here (Error). The page takes the permissions of both inputs, the
    // application lists the log's (see SourcePermissions).
    StandingsOutput(const StandingsRequest& request, const std::vector<std::string>& taken,
                    const std::string& creditsPath, const std::string& logPath);

    // Reads the credit source and the log, builds the standings, writes and saves the outputs; returns
    // the summary line. Raises Error naming the file.
    std::string write(const std::string& creditsPath, const std::string& logPath);

    // The same in two steps, for a run that has read the files already (markFiles' hook): the outputs
    // are written from the credits and the log's tally and prepared (AtomicFile::prepare), and saved
    // by save() once the marking's are.
    // `creditsCreated`: the credit source's CREATED_TIMESTAMP as written, or empty.
    std::string build(const std::vector<Credit>& credits, const QByteArray& log, const StandingsTally& tally,
                      const std::string& creditsPath, const std::string& logPath, std::string_view creditsCreated = {});
    void save();

    // The files saved, for the "Written" line.
    std::vector<std::string> paths() const;

private:
    StandingsRequest request_;
    std::array<std::optional<AtomicFile>, 4> files_; // as StandingsRequest::paths()
};

} // namespace awardsync::mark
