// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/window_run.h"

#include "tests/support/files.h"

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace awardsync::testing {

QStringList logLines(const TMainForm& form) {
    return form.RichEdit1->toPlainText().split(QLatin1Char('\n'));
}

::testing::AssertionResult isIdle(const TMainForm& form) {
    if (!form.Busy && !form.runInProgress() && form.BitBtn1->isEnabled() && !form.BitBtn4->isEnabled()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "Busy " << form.Busy << ", run in progress " << form.runInProgress()
                                         << ", Download enabled " << form.BitBtn1->isEnabled() << ", Abort enabled "
                                         << form.BitBtn4->isEnabled();
}

void whenLogShows(TMainForm& form, const QString& line, std::function<void()> action) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        QObject::connect(form.RichEdit1, &QPlainTextEdit::textChanged, &form, [&form, line, action, connection] {
            if (form.RichEdit1->document()->lastBlock().text() == line) {
                QObject::disconnect(*connection);
                QMetaObject::invokeMethod(&form, action, Qt::QueuedConnection);
            }
        });
}

WindowRun::WindowRun(std::optional<std::string_view> scenario) {
    if (scenario) {
        mock.emplace(*scenario);
    }
    folder = dir.filePath("program");
    QDir().mkpath(folder);
}

std::string WindowRun::serviceSection(std::string endpoint, std::string caFile) const {
    return "[Service]\nEndpoint=" + (endpoint.empty() ? mock->endpoint() : endpoint) +
           "\nCAFile=" + (caFile.empty() ? mock->certFile() : caFile) + "\n";
}

void WindowRun::writeSettings(std::string_view content) const {
    writeBytes(settingsPath(), content);
}

std::string WindowRun::settingsBytes() const {
    return readBytes(settingsPath());
}

TMainForm& WindowRun::open(bool show) {
    TMainForm::Seams seams;
    seams.executablePath = folder + "/awardsync";
    seams.showError = [this](const QString& caption, const QString& text) { errors.push_back({caption, text}); };
    seams.showAbout = [this](const QString& caption, const QString& text) {
        abouts.push_back({caption, text});
        if (onAbout) {
            onAbout();
        }
    };
    seams.chooseFile = [this](const QString& initial, const QString& filter) {
        chooserCalls.push_back({initial, filter});
        return chosen;
    };
    if (!realPause) {
        seams.pause = [this](std::chrono::milliseconds duration) {
            pauses.push_back({duration, mock ? mock->requests().size() : 0});
        };
    }
    seams.retryPolicy = retryPolicy;
    form = std::make_unique<TMainForm>(seams);
    if (show) {
        form->show();
        form->PumpMessages();
    }
    return *form;
}

void WindowRun::download() {
    EXPECT_TRUE(form->BitBtn1->isEnabled()) << "Download must be enabled before a run";
    form->BitBtn1->click();
    form->PumpMessages();
}

int runWindowTests(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace awardsync::testing
