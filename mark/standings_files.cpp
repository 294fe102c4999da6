// SPDX-License-Identifier: GPL-3.0-or-later
#include "standings_files.h"

#include "adi_reader.h"
#include "core/file_paths.h"
#include "core/text.h"
#include "credit_source.h"
#include "standings.h"
#include "standings_page.h"

#include <QTimeZone>
#include <algorithm>

namespace awardsync::mark {

namespace {

void open(std::optional<AtomicFile>& file, const std::string& path, SourcePermissions sources) {
    try {
        file.emplace(path, sources);
    } catch (const SaveError& error) {
        throw Error(cannotCreateFileMessage(path, error.what()));
    }
}

// Runs a step of saving `path`, in the words of the other outputs when it fails.
template <typename Step> void saving(const std::string& path, const Step& step) {
    try {
        step();
    } catch (const SaveError& error) {
        throw Error("cannot write \"" + path + "\": " + error.what());
    }
}

} // namespace

StandingsOutput::StandingsOutput(const StandingsRequest& request, const std::vector<std::string>& taken,
                                 const std::string& creditsPath, const std::string& logPath)
    : request_(request) {
    std::vector<std::string> used;
    for (const std::string& path : taken) {
        used.push_back(samePathKey(path));
    }
    const auto paths = request_.paths();
    for (const std::string* path : paths) {
        if (path->empty()) {
            continue;
        }
        if (const std::string refusal = fileRefusal(*path, "the standings output", false); !refusal.empty()) {
            throw Error(refusal);
        }
        const std::string identity = samePathKey(*path);
        if (std::find(used.begin(), used.end(), identity) != used.end()) {
            throw Error("the standings output \"" + *path +
                        "\" would replace an input or another output; choose another name");
        }
        used.push_back(identity);
    }
    // The page shows both inputs; the application lists are QSOs of the log.
    const SourcePermissions page = SourcePermissions::of({creditsPath, logPath});
    const SourcePermissions lists = SourcePermissions::of({logPath});
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!paths[i]->empty()) {
            open(files_[i], *paths[i], i == 0 ? page : lists);
        }
    }
}

namespace {

// The standings of the credits and the tally of `log`; the shown QSOs' lines are counted when a page or a
// list will name them.
void build(StandingsData& data, const std::vector<Credit>& credits, const StandingsTally& tally, std::string_view log,
           bool numberLines) {
    data.standings = buildStandings(credits, tally);
    if (numberLines) {
        numberShownLines(data.standings, log);
    }
}

} // namespace

std::shared_ptr<const StandingsData> standingsOfMarking(const MarkInputs& read, const std::string& creditsPath,
                                                        const std::string& logPath) {
    auto data = std::make_shared<StandingsData>();
    data->creditsPath = creditsPath;
    data->logPath = logPath;
    data->log = read.log;
    data->creditsCreated = creditsCreatedTime(read.creditsCreated);
    build(*data, read.credits, read.tally, data->logBytes(), true);
    return data;
}

std::shared_ptr<const StandingsData> standingsOfMarking(const std::vector<Credit>& credits, const QByteArray& log,
                                                        const StandingsTally& tally, const std::string& creditsPath,
                                                        const std::string& logPath) {
    return standingsOfMarking({credits, log, tally, {}}, creditsPath, logPath);
}

std::optional<QDateTime> creditsCreatedTime(std::string_view timestamp) {
    const QString text = QString::fromLatin1(timestamp.data(), static_cast<qsizetype>(timestamp.size()));
    for (const QString& form : {QStringLiteral("yyyyMMdd HHmmss"), QStringLiteral("yyyyMMdd HHmm")}) {
        QDateTime time = QDateTime::fromString(text, form);
        if (time.isValid()) {
            time.setTimeZone(QTimeZone::utc());
            return time;
        }
    }
    return std::nullopt;
}

std::string utcText(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString() + " UTC";
}

namespace {

StandingsSources sourcesOf(const std::string& creditsPath, const std::string& logPath,
                           const std::optional<QDateTime>& creditsCreated, const QDateTime& made) {
    return {creditsPath, logPath, utcText(made), creditsCreated ? utcText(*creditsCreated) : std::string()};
}

} // namespace

std::string standingsPage(const StandingsData& data, const QDateTime& made) {
    return standingsHtml(data.standings, data.logBytes(),
                         sourcesOf(data.creditsPath, data.logPath, data.creditsCreated, made));
}

std::string StandingsOutput::build(const std::vector<Credit>& credits, const QByteArray& logBytes,
                                   const StandingsTally& tally, const std::string& creditsPath,
                                   const std::string& logPath, std::string_view creditsCreated) {
    const std::string_view log = viewOf(logBytes);
    StandingsData data;
    data.creditsPath = creditsPath;
    data.logPath = logPath;
    const bool any = std::any_of(files_.begin(), files_.end(), [](const auto& file) { return file.has_value(); });
    mark::build(data, credits, tally, log, any);
    // The application lists: all of it, the QSOs confirmed by LoTW, those confirmed by card.
    constexpr std::array<unsigned, 4> Media = {0, MediaLotw | MediaCard, MediaLotw, MediaCard};
    const auto paths = request_.paths();
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (files_[i]) {
            const std::string content =
                i == 0 ? standingsHtml(data.standings, log,
                                       sourcesOf(creditsPath, logPath, creditsCreatedTime(creditsCreated),
                                                 QDateTime::currentDateTimeUtc()))
                       : applicationAdi(data.standings, log, Media[i]);
            saving(*paths[i], [&] {
                files_[i]->write(content.data(), static_cast<qint64>(content.size()));
                files_[i]->prepare();
            });
        }
    }
    return standingsSummaryLine(data.standings);
}

void StandingsOutput::save() {
    // All are complete before any replaces its predecessor.
    const auto paths = request_.paths();
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (files_[i]) {
            saving(*paths[i], [&] { files_[i]->commit(); });
        }
    }
}

std::string StandingsOutput::write(const std::string& creditsPath, const std::string& logPath) {
    const QByteArray credits = readRegularFile(creditsPath, "the credits file");
    const QByteArray log = readRegularFile(logPath, "the log");
    StandingsTally tally;
    try {
        tally = tallyLog(viewOf(log));
    } catch (const AdiError& error) {
        throw Error(logPath + ": " + error.what());
    }
    const CreditSource source = readCreditSource(viewOf(credits), creditsPath);
    std::string summary = build(source.credits, log, tally, creditsPath, logPath, source.created);
    save();
    return summary;
}

std::vector<std::string> StandingsOutput::paths() const {
    std::vector<std::string> paths;
    for (const std::string* path : request_.paths()) {
        if (!path->empty()) {
            paths.push_back(*path);
        }
    }
    return paths;
}

} // namespace awardsync::mark
