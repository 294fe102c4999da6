// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of awardsync-mark: options, the report and the summary on standard output,
// one line on standard error for what went wrong, and the exit status.
#include "core/text.h"
#include "mark_command.h"
#include "marking.h"
#include "run_files.h"
#include "standings_files.h"

#include <algorithm>
#include <new>
#include <ostream>
#include <utility>

namespace awardsync::mark {

namespace {

const char* const Usage = "Usage: awardsync-mark [--output FILE] [--only-marked] CREDITS LOG\n"
                          "       awardsync-mark [options] [--standings FILE.html] [--apply FILE.adi]\n"
                          "                      [--apply-lotw FILE.adi] [--apply-cards FILE.adi] "
                          "[--standings-only] CREDITS LOG\n";

const char* const Help =
    "\n"
    "Marks the credits of CREDITS in LOG, an ADI file: every QSO that a credit matches gains the\n"
    "credit's items in its CREDIT_GRANTED field. CREDITS is told apart by its content:\n"
    "  - a records file written by Awardsync: each line grants DXCC:LOTW or DXCC:CARD;\n"
    "  - an ADI file whose records carry CALL, QSO_DATE, BAND and CREDIT_GRANTED: the credits file\n"
    "    written by Awardsync, or the DXCC QSL Card Report of LoTW; each record grants its items.\n"
    "\n"
    "  -o, --output FILE  write the marked log to FILE (default: LOG with \"-granted\" before its extension)\n"
    "      --only-marked  write the header and only the QSOs that gained a credit\n"
    "      --standings FILE.html  write the standings: credited, confirmed and worked entities per award\n"
    "      --apply FILE.adi  write the confirmed QSOs not yet credited (the application list), as in LOG\n"
    "      --apply-lotw FILE.adi  write those of them confirmed by LoTW: to apply for online\n"
    "      --apply-cards FILE.adi  write those of them confirmed by QSL card: for the card checker\n"
    "      --standings-only  write only the standings files, and mark nothing\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "Credits that match no QSO are listed with the reason on standard output and written to CREDITS\n"
    "with \"_bad.txt\" (a records file) or \"_bad.adi\" (an ADI file) in place of its extension.\n"
    "Exit status: 0 when every credit matched, 1 when some did not, 2 on an error (then nothing is\n"
    "written).\n";

// Every message shows file names and file bytes escaped, on one line.
void printError(std::ostream& err, const std::string& what) {
    err << "awardsync-mark: " << escapedForMessage(what) << "\n";
}

// Prints the report, the summary and the files written; false when standard output did not take them all.
bool printReport(const MarkResult& result, const std::string& standingsLine,
                 const std::vector<std::string>& standingsPaths, std::ostream& out) {
    for (const std::string& warning : result.warnings) {
        out << "Warning: " << escapedForMessage(warning) << "\n";
    }
    for (std::size_t i = 0; i < result.unmatched.size(); ++i) {
        out << escapedForMessage(reportLine(result.unmatched[i])) << "\n";
    }
    if (!result.unmatched.empty()) {
        out << "\n";
    }
    for (const std::string& line : summaryLines(result.summary)) {
        out << line << "\n";
    }
    out << standingsLine << "\n";
    out << escapedForMessage(writtenLine({result.outputPath, result.badPath})) << "\n";
    if (!standingsPaths.empty()) {
        out << escapedForMessage(writtenLine(standingsPaths)) << "\n";
    }
    out << std::flush;
    return static_cast<bool>(out);
}

// The run itself, once the command line is read: the report, the summary and the exit status.
int runMarking(const MarkOptions& options, const StandingsRequest& standings, std::ostream& out, std::ostream& err) {
    const auto error = [&](const std::string& what) { printError(err, what); };
    try {
        const std::string output = options.outputPath.empty() ? defaultOutputPath(options.logPath) : options.outputPath;
        // The unmatched credits' file depends on the source's form: neither name may be taken.
        StandingsOutput standingsOutput(standings,
                                        {options.recordsPath, options.logPath, output,
                                         badCreditsPath(options.recordsPath, CreditSourceKind::RecordsFile),
                                         badCreditsPath(options.recordsPath, CreditSourceKind::Adi)},
                                        options.recordsPath, options.logPath);
        if (standings.only) {
            out << standingsOutput.write(options.recordsPath, options.logPath) << "\n";
            out << escapedForMessage(writtenLine(standingsOutput.paths())) << "\n" << std::flush;
            if (!out) {
                error("the summary could not be printed (standard output is full or closed); " +
                      writtenLine(standingsOutput.paths()));
                return 2;
            }
            return 0;
        }
        // The standings are made of the bytes the marking has read, and their files are complete before
        // markFiles commits its own: no output replaces its predecessor before all are.
        std::string standingsLine;
        const MarkResult result = markFiles(options, {}, [&](const MarkInputs& read) {
            standingsLine = standingsOutput.build(read.credits, read.log, read.tally, options.recordsPath,
                                                  options.logPath, read.creditsCreated);
        });
        standingsOutput.save();
        if (!printReport(result, standingsLine, standingsOutput.paths(), out)) {
            std::vector<std::string> written = {result.outputPath, result.badPath};
            written.insert(written.end(), standingsOutput.paths().begin(), standingsOutput.paths().end());
            error("the report could not be printed (standard output is full or closed); " + writtenLine(written));
            return 2;
        }
        return result.summary.unmatched == 0 ? 0 : 1;
    } catch (const std::bad_alloc&) {
        error(outOfMemoryMessage(options.recordsPath, options.logPath));
        return 2;
    } catch (const std::exception& failure) {
        error(failure.what());
        return 2;
    }
}

} // namespace

int runMarkCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    MarkOptions options;
    StandingsRequest standings;
    std::vector<std::string> files;
    bool optionsEnded = false;
    bool outputGiven = false;
    const auto error = [&](const std::string& what) { printError(err, what); };
    // The options followed by a file name, and where each keeps it.
    const auto pathOption = [&](const std::string& name) -> std::string* {
        const std::pair<const char*, std::string*> named[] = {
            {"--output", &options.outputPath},          {"-o", &options.outputPath},
            {"--standings", &standings.htmlPath},       {"--apply", &standings.applyPath},
            {"--apply-lotw", &standings.applyLotwPath}, {"--apply-cards", &standings.applyCardsPath}};
        for (const auto& [option, path] : named) {
            if (name == option) {
                return path;
            }
        }
        return nullptr;
    };
    const auto usageError = [&](const std::string& what) {
        error(what);
        err << Usage << "Try 'awardsync-mark --help'.\n";
        return 2;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            out << Usage << Help;
            return 0;
        } else if (argument == "--version" || argument == "-V") {
            out << "awardsync-mark " << AWARDSYNC_VERSION << "\n";
            return 0;
        } else if (argument == "--only-marked") {
            options.onlyMarked = true;
        } else if (std::string* path = pathOption(argument)) {
            if (++i == arguments.size()) {
                return usageError((argument == "-o" ? std::string("--output") : argument) + " needs a file name");
            }
            *path = arguments[i];
            outputGiven = outputGiven || path == &options.outputPath;
        } else if (argument == "--standings-only") {
            standings.only = true;
        } else if (argument.rfind("--output=", 0) == 0) {
            options.outputPath = argument.substr(9);
            outputGiven = true;
        } else {
            return usageError("unknown option " + argument);
        }
    }
    if (outputGiven && options.outputPath.empty()) {
        return usageError("an empty output name");
    }
    if (files.size() != 2) {
        return usageError(files.size() < 2 ? "CREDITS and LOG are needed" : "too many file names");
    }
    const auto paths = standings.paths();
    if (standings.only && std::all_of(paths.begin(), paths.end(), [](const std::string* p) { return p->empty(); })) {
        return usageError("--standings-only needs --standings or --apply, --apply-lotw or --apply-cards");
    }
    options.recordsPath = files[0];
    options.logPath = files[1];
    return runMarking(options, standings, out, err);
}

} // namespace awardsync::mark
