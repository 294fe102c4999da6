// SPDX-License-Identifier: GPL-3.0-or-later
#include "run_files.h"

#include "core/error.h"
#include "core/file_paths.h"

namespace awardsync::mark {

void checkRunFiles(const RunFiles& files) {
    const struct {
        const std::string& path;
        const char* what;
        bool input;
    } checked[] = {{files.records, "credits file", true},
                   {files.log, "log", true},
                   {files.output, "output", false},
                   {files.bad, "file of unmatched credits", false}};
    for (const auto& file : checked) {
        if (const std::string refusal = fileRefusal(file.path, std::string("the ") + file.what, file.input);
            !refusal.empty()) {
            throw Error(refusal);
        }
    }
    const std::string log = samePathKey(files.log);
    const std::string records = samePathKey(files.records);
    const std::string output = samePathKey(files.output);
    const std::string bad = samePathKey(files.bad);
    if (output == log || output == records || output == bad) {
        throw Error("the output \"" + files.output +
                    "\" would replace an input or the other output; choose another name with --output");
    }
    if (bad == log || bad == records) {
        throw Error("the unmatched credits would go to \"" + files.bad + "\", which is the " +
                    (bad == log ? "log" : "credits file") + "; rename the credits file");
    }
}

std::string writtenLine(const std::vector<std::string>& paths) {
    std::string line = "Written:";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        line += (i == 0 ? " " : i + 1 == paths.size() ? " and " : ", ") + paths[i];
    }
    return line;
}

} // namespace awardsync::mark
