// SPDX-License-Identifier: GPL-3.0-or-later
// The password goes to exactly two places: the settings file, and the body of the login post.
// A harvest with a distinctive password is run (one with a failed login, one with a failed QSO
// page among good ones), then everything the program logged, asked for and wrote is searched
// for it, in plain and in every encoding it could take on the way.

#include "service/url_encode.h"
#include "tests/support/files.h"
#include "tests/support/window_run.h"

#include <QByteArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using awardsync::testing::MockRequest;
using awardsync::testing::readBytes;
using awardsync::testing::WindowRun;

const std::string Password = "Zq7-leak-check-Passw0rd";

// The private root of this test program: HOME, the XDG folders and TMPDIR all point into it, so
// that whatever the program writes anywhere lands where the test can search it.
fs::path privateRoot;

// Every form in which the password could leave the program.
std::vector<std::string> disguises() {
    const QByteArray raw = QByteArray::fromStdString(Password);
    return {
        Password,
        awardsync::UrlEncode(Password), // the login form's encoding: "Zq%37-leak-check-Passw%30rd"
        raw.toPercentEncoding().toStdString(),
        raw.toBase64().toStdString(),
        QByteArray("Q1ABC:").append(raw).toBase64().toStdString(), // as a basic authorisation would carry it
    };
}

// The first disguise of the password found in `text`, or "" when there is none.
std::string leakIn(const std::string& text) {
    for (const std::string& disguise : disguises()) {
        if (text.find(disguise) != std::string::npos) {
            return disguise;
        }
    }
    return {};
}

// The support helpers take Qt paths.
std::string readFile(const fs::path& path) {
    return readBytes(QString::fromStdString(path.string()));
}

const char* const Scenario = R"json({
  "login": {"user": "Q1ABC", "password": "Zq7-leak-check-Passw0rd"},
  "qsos": {
    "2001": {"call": "Q2AA", "datetime": "2009-07-14 18:05:00", "mode": "CW (CW)", "dxcc": "EXAMPLE ISLAND (1)",
             "band": "20M", "qsl": "Yes"},
    "2002": {"call": "Q3BB", "datetime": "2010-01-02 03:04:05", "mode": "PHONE (SSB)", "dxcc": "SOMEWHERE (291)",
             "band": "40M", "qsl": "Yes"}
  },
  "accounts": {"1": {"DXCC-M": [2001, 2002], "DXCC-CW": [2001]}},
  "faults": [
    {"path": "/lotwuser/default", "method": "POST", "kind": "status", "status": 500, "count": 3},
    {"path": "/lotwuser/qsodetail?qso=2002", "kind": "status", "status": 500}
  ]
})json";

TEST(PasswordCheck, ThePasswordStaysInTheSettingsFileAndTheLoginPost) {
    WindowRun run(Scenario);
    run.writeSettings("[Settings]\nCall=Q1ABC\nPassword=" + Password + "\n" + run.serviceSection());
    TMainForm& form = run.open();
    const fs::path settings = run.settingsPath().toStdString();
    EXPECT_EQ(leakIn(form.Edit2->displayText().toStdString()), "") << "the password field shows it";

    // First run: the service answers the login with an error page, also when it is tried again.
    run.download();
    const std::string failedLogin = form.RichEdit1->toPlainText().toStdString();
    EXPECT_NE(failedLogin.find("  Login failed: Page download failed"), std::string::npos) << failedLogin;
    EXPECT_EQ(leakIn(failedLogin), "") << failedLogin;

    // Second run: signed in, one QSO page fails (its error line names the page's address).
    ASSERT_TRUE(form.BitBtn1->isEnabled());
    run.download();
    const std::string harvest = form.RichEdit1->toPlainText().toStdString();
    EXPECT_NE(harvest.find("  Error:    Page download failed. URL: "), std::string::npos) << harvest;
    EXPECT_NE(harvest.find("Done"), std::string::npos) << harvest;
    EXPECT_EQ(leakIn(harvest), "") << harvest;
    run.form.reset(); // writes the settings file

    for (const WindowRun::Shown& box : run.errors) {
        const std::string text = box.caption.toStdString() + ": " + box.text.toStdString();
        EXPECT_EQ(leakIn(text), "") << text;
    }

    // What went over the wire: only the login posts carry it, and only as their password field.
    const std::vector<MockRequest> requests = run.mock->requests();
    int loginPosts = 0;
    for (const MockRequest& request : requests) {
        SCOPED_TRACE(request.method + " " + request.target);
        const std::string decodedTarget =
            QUrl::fromPercentEncoding(QByteArray::fromStdString(request.target)).toStdString();
        EXPECT_EQ(leakIn(request.target), "");
        EXPECT_EQ(leakIn(decodedTarget), "");
        for (const auto& [name, value] : request.headers) {
            EXPECT_EQ(leakIn(name + ": " + value), "") << name;
        }
        if (request.method == "POST" && request.target == "/lotwuser/default") {
            ++loginPosts;
            EXPECT_EQ(request.body, "login=Q%31ABC&password=Zq%37-leak-check-Passw%30rd");
            EXPECT_EQ(request.form.at("password"), Password);
        } else {
            EXPECT_EQ(leakIn(request.body), "");
        }
    }
    EXPECT_EQ(loginPosts, 4);
    EXPECT_GT(requests.size(), 20u) << "the harvest did not get far";

    // Every file written anywhere in the private root, the mock service's own folder aside (its
    // scenario must hold the password to check it): only the settings file has it, in plain text.
    const fs::path mockFolder = fs::weakly_canonical(run.mock->folder());
    std::vector<fs::path> searched;
    for (auto it = fs::recursive_directory_iterator(privateRoot); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path path = fs::weakly_canonical(it->path());
        if (path == mockFolder) {
            it.disable_recursion_pending();
            continue;
        }
        EXPECT_EQ(leakIn(path.string()), "") << path;
        if (!it->is_regular_file() || path == fs::weakly_canonical(settings)) {
            continue;
        }
        searched.push_back(path);
        EXPECT_EQ(leakIn(readFile(path)), "") << path;
    }
    const fs::path records = fs::weakly_canonical(run.recordsPath().toStdString());
    EXPECT_NE(std::find(searched.begin(), searched.end(), records), searched.end()) << "no records file was written";
    EXPECT_EQ(readFile(records), "Q2AA|001|2009/07/14|18:05:00|CW|20M|LoTW|\r\n");
    EXPECT_NE(readFile(settings).find("\nPassword=" + Password + "\n"), std::string::npos) << readFile(settings);
}

} // namespace

int main(int argc, char** argv) {
    std::string pattern = (fs::temp_directory_path() / "awardsync-password-check-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    privateRoot = pattern;
    const std::vector<std::pair<const char*, const char*>> folders = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "home/.config"},
        {"XDG_CACHE_HOME", "home/.cache"},
        {"XDG_DATA_HOME", "home/.local/share"},
        {"XDG_STATE_HOME", "home/.local/state"},
        {"XDG_RUNTIME_DIR", "runtime"},
        {"TMPDIR", "tmp"},
    };
    for (const auto& [variable, folder] : folders) {
        const fs::path path = privateRoot / folder;
        fs::create_directories(path);
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace);
        ::setenv(variable, path.c_str(), 1);
    }
    int result = 0;
    { result = awardsync::testing::runWindowTests(argc, argv); }
    std::error_code ignored;
    fs::remove_all(privateRoot, ignored);
    return result;
}
