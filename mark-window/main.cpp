// SPDX-License-Identifier: GPL-3.0-or-later
// awardsync-mark: marks the credits of a credit source in an ADI log. The work and every message
// live in the libraries; this only hands over the command line, or opens the window when there is none
// and a display to open it on. It lives here, where both the marking and its window are seen.
#include "mark-window/mark_window.h"
#include "mark/mark_command.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc <= 1 && awardsync::markwindow::windowPossible()) {
        return awardsync::markwindow::runMarkWindow(argc, argv);
    }
    return awardsync::mark::runMarkCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
