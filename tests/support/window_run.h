// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/main_form.h"
#include "tests/support/mock_service.h"

#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// QStrings in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace awardsync::testing {

// The log pane, one entry per line.
QStringList logLines(const TMainForm& form);

// Idle after a run: it has returned, Busy is false, Download is enabled and Abort disabled.
::testing::AssertionResult isIdle(const TMainForm& form);

// Runs `action` once from inside the window's next wait, after the log pane's last line has
// become `line`. Queued rather than called at once, as a click by the user would be.
void whenLogShows(TMainForm& form, const QString& line, std::function<void()> action);

// The window, offscreen, with its executable in a private folder (so that its settings file and
// default records file are the test's own) and, given a scenario, the mock service it talks to.
// Error boxes, About boxes and chooser calls are collected instead of shown; the pause after each
// credit list is recorded (with how many requests the service had seen then) instead of waited for.
class WindowRun {
public:
    struct Shown {
        QString caption;
        QString text;
    };
    struct Pause {
        std::chrono::milliseconds duration;
        std::size_t requestsSeen;
    };

    // Without a scenario, no mock service is started.
    explicit WindowRun(std::optional<std::string_view> scenario = std::nullopt);

    // The [Service] section that points the window at `endpoint` and makes it trust `caFile`: by
    // default the mock service and its certificate.
    std::string serviceSection(std::string endpoint = {}, std::string caFile = {}) const;
    void writeSettings(std::string_view content) const;

    // Creates the window, and shows it unless asked not to.
    TMainForm& open(bool show = true);
    // Presses Download; the whole run happens inside the click.
    void download();

    QString settingsPath() const { return folder + "/awardsync.ini"; }
    QString recordsPath() const { return folder + "/awardsync.txt"; } // the default records file
    std::string settingsBytes() const;
    std::string url(const std::string& path) const { return mock->endpoint() + path; }

    std::optional<MockService> mock;
    QTemporaryDir dir;
    QString folder;
    std::unique_ptr<TMainForm> form;
    std::vector<Shown> errors;
    std::vector<Shown> abouts;
    std::vector<Shown> chooserCalls; // the initial path and the filter
    std::optional<QString> chosen;   // what the chooser returns
    std::vector<Pause> pauses;
    bool realPause = false;        // wait the real pause instead of recording it
    // Retries as the program makes them, with waits of milliseconds.
    RetryPolicy retryPolicy = [] {
        RetryPolicy policy;
        policy.waits = {std::chrono::milliseconds(1), std::chrono::milliseconds(2)};
        policy.longestRetryAfter = std::chrono::milliseconds(5);
        return policy;
    }();
    std::function<void()> onAbout; // runs after an About box is collected
};

// A main for the window's test programs: creates the QApplication and runs every test.
int runWindowTests(int argc, char** argv);

} // namespace awardsync::testing
