// SPDX-License-Identifier: GPL-3.0-or-later
#include "window_texts.h"

#include "core/text.h"

namespace awardsync {

std::string errorCaption(std::string_view executablePath) {
    std::string_view name = executablePath.substr(executablePath.find_last_of('/') + 1);
    name = name.substr(0, name.find('.'));
    if (name.empty()) {
        return {};
    }
    QString caption = toQt(name);
    return fromQt(caption.left(1) + caption.mid(1).toLower());
}

std::string errorBoxText(std::string_view message) {
    std::string text(message);
    const QString wide = toQt(message);
    if (!wide.isEmpty() && wide.back() > QChar('.')) {
        text += '.';
    }
    return text;
}

std::string withRecordsExtension(std::string_view path) {
    std::string_view lastComponent = path.substr(path.find_last_of('/') + 1);
    std::string result(path);
    if (lastComponent.find('.') == std::string_view::npos) {
        result += ".txt";
    }
    return result;
}

std::string aboutText() {
    static const char* const lines[] = {
        "Awardsync program is designed to mark QSOs in Logger32 ",
        "as Granted on the base of LoTW data.",
        "User ID and Password to LoTW are required to login to LoTW and ",
        "to download detailed data about all QSOs marked as Awarded on ",
        "LoTW (LoTW and QSL confirmations verified by ARRL). These data ",
        "are saved in text file.",
        "In next step program added APP_LOGGER32_CREDIT_GRANTED ",
        "and CREDIT_GRANTED fields to ADIF file. This ADIF file must be ",
        "imported to empty log in Logger32. All QSOs from LoTW will be ",
        "marked as Granted.",
        "If any QSO will not be processed, it is saved in _bad.txt file. ",
        "There are often QSOs confirmed by QSL with data erroneously",
        "entered by ARRL.",
        "",
    };
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += '\n';
    }
    text += "Awardsync was written by radio amateurs for radio amateurs, as a free companion to their\n"
            "logging program. Thanks to everyone who tested it against real logs and reported what they found.\n";
    text += '\n';
    text += "73 and good DX from the Awardsync authors";
    return text;
}

} // namespace awardsync
