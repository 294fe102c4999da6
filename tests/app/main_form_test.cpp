// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/page_loader.h"
#include "tests/support/relay.h"
#include "tests/support/window_run.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using awardsync::testing::isIdle;
using awardsync::testing::logLines;
using awardsync::testing::Relay;
using awardsync::testing::WindowRun;

TEST(MainForm, LoadsSettingsWithDefaultsAndLimits) {
    struct Case {
        const char* what;
        std::optional<std::string> file; // nothing: no settings file at all
        QString user;
        QString records; // "<default>": the executable's path with ".txt"
        int account;
        bool ssb;
        bool onlyNew;
    };
    const std::string longName(3000, 'K');
    const Case cases[] = {
        {"no file", std::nullopt, "", "<default>", 1, true, false},
        {"account 0", "[Settings]\nAccount=0\n", "", "<default>", 1, true, false},
        {"account 21", "[Settings]\nAccount=21\n", "", "<default>", 20, true, false},
        {"account empty", "[Settings]\nAccount=\n", "", "<default>", 1, true, false},
        {"account abc", "[Settings]\nAccount=abc\n", "", "<default>", 1, true, false},
        {"account 0x0A", "[Settings]\nAccount=0x0A\n", "", "<default>", 10, true, false},
        {"account $0A", "[Settings]\nAccount=$0A\n", "", "<default>", 10, true, false},
        {"ssb 0", "[Settings]\nSSB=0\n", "", "<default>", 1, false, false},
        {"ssb 2", "[Settings]\nSSB=2\n", "", "<default>", 1, true, false},
        {"ssb no", "[Settings]\nSSB=no\n", "", "<default>", 1, true, false},
        {"only new 1", "[Settings]\nSSB=0\nonlynew=1\n", "", "<default>", 1, false, true},
        {"only new yes", "[Settings]\nOnlyNew=yes\n", "", "<default>", 1, true, false},
        {"empty records path", "[Settings]\nTextFile=\n", "", "", 1, true, false},
        {"long user name", "[settings]\ncall=" + longName + "\n", QString::fromStdString(longName.substr(0, 2047)),
         "<default>", 1, true, false},
    };
    for (const Case& c : cases) {
        WindowRun fixture;
        if (c.file) {
            fixture.writeSettings(*c.file);
        }
        TMainForm& form = fixture.open(false);
        const QString records = QString(c.records) == "<default>" ? fixture.folder + "/awardsync.txt" : c.records;
        EXPECT_EQ(form.Edit1->text(), c.user) << c.what;
        EXPECT_EQ(form.Edit2->text(), "") << c.what;
        EXPECT_EQ(form.Edit3->text(), records) << c.what;
        EXPECT_EQ(form.SpinEdit1->value(), c.account) << c.what;
        EXPECT_EQ(form.CheckBox1->isChecked(), c.ssb) << c.what;
        EXPECT_EQ(form.CheckBox2->isChecked(), c.onlyNew) << c.what;
        EXPECT_EQ(form.serviceEndpoint(), "https://lotw.arrl.org") << c.what;
        EXPECT_TRUE(fixture.errors.empty()) << c.what;
    }
}

TEST(MainForm, ClosingWithoutARunLogsAndWritesAllSixKeys) {
    WindowRun fixture;
    fixture.writeSettings("; mine\n[Settings]\nCall=old\nUnknown=kept\n[Service]\nEndpoint=https://127.0.0.1:1/\n");
    TMainForm& form = fixture.open();
    EXPECT_EQ(form.serviceEndpoint(), "https://127.0.0.1:1");
    form.Edit1->setText("Q1ABC");
    form.Edit2->setText("pa ss");
    form.Edit3->setText("/tmp/credits.txt");
    form.SpinEdit1->setValue(12);
    form.CheckBox1->setChecked(false);
    form.CheckBox2->setChecked(true);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(logLines(form), QStringList{"Aborting operation..."});
    fixture.form.reset();
    EXPECT_EQ(fixture.settingsBytes(), "; mine\n[Settings]\nCall=Q1ABC\nUnknown=kept\nPassword=pa ss\n"
                                       "TextFile=/tmp/credits.txt\nAccount=12\nSSB=0\nOnlyNew=1\n"
                                       "[Service]\nEndpoint=https://127.0.0.1:1/\n");
    EXPECT_TRUE(fixture.errors.empty());
}

// The field is emptied with the Delete key; the click on Download takes the focus from it, as the
// user's click would, before the run reads it.
TEST(MainForm, EmptiedAccountFieldReadsAsOneForTheRunAndTheSettings) {
    WindowRun run("{}");
    run.writeSettings("[Settings]\nCall=TEST\nPassword=test\nAccount=7\n" + run.serviceSection());
    TMainForm& form = run.open();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.SpinEdit1->setFocus();
    form.SpinEdit1->selectAll();
    QTest::keyClick(form.SpinEdit1, Qt::Key_Delete);
    ASSERT_EQ(form.SpinEdit1->text(), "");
    ASSERT_TRUE(form.SpinEdit1->hasFocus());

    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);

    EXPECT_FALSE(form.SpinEdit1->hasFocus());
    const auto requests = run.mock->requests();
    EXPECT_EQ(
        std::count_if(requests.begin(), requests.end(),
                      [](const auto& request) { return request.target.find("&ac_acct=1&") != std::string::npos; }),
        17);
    run.form.reset();
    EXPECT_NE(run.settingsBytes().find("Account=1\n"), std::string::npos) << run.settingsBytes();
}

TEST(MainForm, UnwritableSettingsAreReportedAndTheWindowStillGoes) {
    WindowRun fixture;
    TMainForm& form = fixture.open();
    form.Edit1->setText("Q1ABC");
    ASSERT_EQ(::chmod(fixture.folder.toLocal8Bit().constData(), 0555), 0);
    fixture.form.reset();
    ::chmod(fixture.folder.toLocal8Bit().constData(), 0755);
    ASSERT_EQ(fixture.errors.size(), 1u);
    EXPECT_EQ(fixture.errors[0].text, "Unable to write to " + fixture.folder + "/awardsync.ini.");
    EXPECT_EQ(fixture.errors[0].caption, "awardsync");
    EXPECT_EQ(fixture.settingsBytes(), "<missing>");
}

TEST(MainForm, AnErrorWhileLoadingIsShownAndTheWindowStillOpens) {
    WindowRun fixture;
    fixture.writeSettings("[Service]\nCAFile=/nonexistent/ca.pem\n");
    TMainForm& form = fixture.open();
    ASSERT_EQ(fixture.errors.size(), 1u);
    EXPECT_TRUE(fixture.errors[0].text.contains("/nonexistent/ca.pem")) << fixture.errors[0].text.toStdString();
    EXPECT_TRUE(form.isVisible());
}

TEST(MainForm, AddLogBreaksLinesAtCarriageReturns) {
    WindowRun fixture;
    TMainForm& form = fixture.open();
    form.AddLog("first");
    form.AddLog("\rDownloading credit lists");
    form.AddLog("3 credits found.\r\r");
    form.AddLog("a\rb\r");
    EXPECT_EQ(logLines(form),
              (QStringList{"first", "", "Downloading credit lists", "3 credits found.", "", "", "a", "b", ""}));
}

TEST(MainForm, LogPaneKeepsTheNewest20000Lines) {
    WindowRun fixture;
    TMainForm& form = fixture.open(false); // a hidden pane does not repaint every line
    for (int i = 0; i < 20005; ++i) {
        form.AddLog("line " + std::to_string(i));
    }
    EXPECT_EQ(form.RichEdit1->blockCount(), 20000);
    EXPECT_EQ(logLines(form).front(), "line 5");
    EXPECT_EQ(logLines(form).back(), "line 20004");
}

TEST(MainForm, DownloadFollowsBothTextFieldsWhenIdle) {
    WindowRun fixture;
    TMainForm& form = fixture.open();
    struct Case {
        const char* user;
        const char* password;
        bool download;
    };
    const Case cases[] = {
        {"", "", false}, {"Q1ABC", "", false}, {"", "pw", false}, {" ", "pw", true}, {"Q1ABC", "pw", true}};
    for (const Case& c : cases) {
        form.Edit1->setText(c.user);
        form.Edit2->setText(c.password);
        form.PumpMessages();
        EXPECT_EQ(form.BitBtn1->isEnabled(), c.download) << c.user << "/" << c.password;
        EXPECT_FALSE(form.BitBtn4->isEnabled());
    }
}

TEST(MainForm, EnablingRuleAcrossRunningAndStopping) {
    WindowRun fixture("{}");
    // The service's first answer is held, so that the login's page wait lasts until the test lets it go.
    Relay service(static_cast<quint16>(fixture.mock->port()));
    fixture.writeSettings("[Settings]\nCall=TEST\nPassword=test\n" + fixture.serviceSection(service.endpoint()));
    TMainForm& form = fixture.open();
    ASSERT_TRUE(form.BitBtn1->isEnabled());

    struct Seen {
        bool download;
        bool abort;
    };
    std::vector<Seen> running, runningWithoutUser, stopping;
    bool nestedRunStarted = true;
    service.hold([&] {
        form.PumpMessages();
        running.push_back({form.BitBtn1->isEnabled(), form.BitBtn4->isEnabled()});
        form.Edit1->clear();
        form.PumpMessages();
        runningWithoutUser.push_back({form.BitBtn1->isEnabled(), form.BitBtn4->isEnabled()});
        form.Edit1->setText("TEST");
        form.BitBtn4->click();
        form.PumpMessages();
        stopping.push_back({form.BitBtn1->isEnabled(), form.BitBtn4->isEnabled()});
        form.BitBtn1Click(); // must not start a second run inside the first one's wait
        nestedRunStarted = !form.RichEdit1->toPlainText().contains("Aborting operation...");
        service.refuse();
    });
    form.BitBtn1->click();

    ASSERT_EQ(running.size(), 1u);
    EXPECT_FALSE(running[0].download);
    EXPECT_TRUE(running[0].abort);
    EXPECT_FALSE(runningWithoutUser[0].download);
    EXPECT_TRUE(runningWithoutUser[0].abort);
    EXPECT_FALSE(stopping[0].download) << "Download waits until the aborted run has returned";
    EXPECT_FALSE(stopping[0].abort);
    EXPECT_FALSE(nestedRunStarted);

    form.PumpMessages();
    EXPECT_TRUE(isIdle(form));
    const QStringList lines = logLines(form);
    ASSERT_GE(lines.size(), 3) << form.RichEdit1->toPlainText().toStdString();
    EXPECT_EQ(lines[0], "Logging in to LotW...");
    EXPECT_EQ(lines[1], "Aborting operation...");
    EXPECT_TRUE(lines[2].startsWith("  Login failed: ")) << lines[2].toStdString();
}

TEST(MainForm, ChooserKeepsOrAddsTheExtension) {
    struct Case {
        const char* before;
        std::optional<QString> chosen;
        const char* after;
    };
    const Case cases[] = {
        {"/home/q1abc/credits", std::nullopt, "/home/q1abc/credits.txt"},
        {"", std::nullopt, ".txt"},
        {"/a.txt", QString("/home/q1abc/picked"), "/home/q1abc/picked.txt"},
        {"/a.txt", QString("/home/q1abc/picked.csv"), "/home/q1abc/picked.csv"},
        {"/a.txt", QString("/home/q1abc/my.dir/credits"), "/home/q1abc/my.dir/credits.txt"},
        {"/a.txt", QString("/home/q1abc/credits."), "/home/q1abc/credits."},
    };
    for (const Case& c : cases) {
        WindowRun fixture;
        TMainForm& form = fixture.open(false);
        fixture.chosen = c.chosen;
        form.Edit3->setText(c.before);
        form.SpeedButton1->click();
        EXPECT_EQ(form.Edit3->text(), c.after) << c.before;
        ASSERT_EQ(fixture.chooserCalls.size(), 1u);
        EXPECT_EQ(fixture.chooserCalls[0].caption, c.before);
    }
}

TEST(MainForm, OnlyALeftClickOverTheLogoShowsTheAboutBox) {
    WindowRun fixture;
    TMainForm& form = fixture.open();
    const QPoint over(5, 5), beside(200, 5);
    QTest::mouseClick(form.Image1, Qt::RightButton, {}, over);
    QTest::mouseClick(form.Image1, Qt::MiddleButton, {}, over);
    QTest::mousePress(form.Image1, Qt::LeftButton, {}, over);
    QTest::mouseRelease(form.Image1, Qt::LeftButton, {}, beside);
    EXPECT_TRUE(fixture.abouts.empty());
    QTest::mouseClick(form.Image1, Qt::LeftButton, {}, over);
    ASSERT_EQ(fixture.abouts.size(), 1u);
    EXPECT_EQ(fixture.abouts[0].caption, "About Awardsync");
    EXPECT_TRUE(fixture.abouts[0].text.startsWith("Awardsync program is designed to mark QSOs in Logger32 \n"));
}

TEST(MainForm, AccountFieldRefusesEveryTypedCharacterAndStaysInRange) {
    WindowRun fixture;
    TMainForm& form = fixture.open();
    form.SpinEdit1->setFocus();
    QTest::keyClick(form.SpinEdit1, Qt::Key_End);
    QTest::keyClicks(form.SpinEdit1, "5a ");
    QTest::keyClick(form.SpinEdit1, Qt::Key_Backspace);
    EXPECT_EQ(form.SpinEdit1->text(), "1");
    QTest::keyClick(form.SpinEdit1, Qt::Key_Down);
    EXPECT_EQ(form.SpinEdit1->value(), 1);
    for (int i = 0; i < 25; ++i) {
        QTest::keyClick(form.SpinEdit1, Qt::Key_Up);
    }
    EXPECT_EQ(form.SpinEdit1->value(), 20);
}

TEST(MainForm, ControlsHaveTheirPlacesCaptionsAndTabOrder) {
    WindowRun fixture;
    TMainForm& form = fixture.open();
    EXPECT_EQ(form.size(), QSize(662, 364));
    EXPECT_EQ(form.windowTitle(), "Awardsync");
    EXPECT_EQ(form.Edit1->geometry(), QRect(97, 14, 96, 21));
    EXPECT_EQ(form.Edit3->geometry(), QRect(8, 20, 401, 21));
    EXPECT_EQ(form.BitBtn1->geometry(), QRect(454, 16, 93, 25));
    EXPECT_EQ(form.CheckBox1->geometry(), QRect(8, 48, 185, 17));
    EXPECT_EQ(form.CheckBox2->parentWidget(), form.Panel3);
    EXPECT_EQ(form.CheckBox2->geometry(), QRect(200, 48, 150, 17));
    EXPECT_EQ(form.CheckBox2->text(), "Only new QSOs");
    EXPECT_GE(form.CheckBox2->width(), form.CheckBox2->sizeHint().width()) << "caption cut off";
    EXPECT_EQ(form.RichEdit1->geometry(), QRect(0, 113, 662, 234));
    EXPECT_EQ(form.ProgressBar1->geometry(), QRect(0, 347, 662, 17));
    EXPECT_EQ(form.Edit2->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(form.RichEdit1->isReadOnly());
    for (QLabel* label : {form.Label1, form.Label2, form.Label3, form.Label5}) {
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    EXPECT_LE(form.Label1->geometry().right(), form.Edit1->x()) << "caption overlaps the user name field";
    EXPECT_LE(form.Label2->geometry().right(), form.Edit2->x());
    EXPECT_LE(form.Label5->geometry().right(), form.SpinEdit1->x());
    EXPECT_LE(form.Label3->geometry().bottom(), form.Edit3->y());

    // The focus chain also holds the widgets' inner parts; the controls must come in this order.
    const std::vector<QWidget*> expected = {form.Edit1,   form.Edit2,   form.SpinEdit1, form.RichEdit1, form.Edit3,
                                            form.BitBtn1, form.BitBtn4, form.CheckBox1, form.CheckBox2};
    std::vector<QWidget*> seen;
    QWidget* widget = form.Edit1;
    for (int step = 0; step < 100 && seen.size() < expected.size(); ++step, widget = widget->nextInFocusChain()) {
        if (std::find(expected.begin(), expected.end(), widget) != expected.end() &&
            std::find(seen.begin(), seen.end(), widget) == seen.end()) {
            seen.push_back(widget);
        }
    }
    EXPECT_EQ(seen, expected);
}

} // namespace

int main(int argc, char** argv) {
    return awardsync::testing::runWindowTests(argc, argv);
}
