// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/string_list.h"
#include "harvest/retry_policy.h"

#include <QEventLoop>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace awardsync {
class CreditsCollector;
class DownloadRun;
class PageLoader;
} // namespace awardsync

// The program's one window: the inputs, the log pane, the progress bar and the download run.
class TMainForm : public QWidget {
    Q_OBJECT
public:
    // Points where tests put their own behaviour in place of dialogs and waits.
    struct Seams {
        QString executablePath; // empty: the running program's own path
        std::function<void(const QString& caption, const QString& text)> showError;
        std::function<void(const QString& caption, const QString& text)> showAbout;
        // Returns the chosen path, or nothing when the user cancels.
        std::function<std::optional<QString>(const QString& initialPath, const QString& filter)> chooseFile;
        // The pause after each credit-list page.
        std::function<void(std::chrono::milliseconds)> pause;
        // How an overloaded service is met; nothing: the program's own numbers.
        std::optional<awardsync::RetryPolicy> retryPolicy;
    };

    explicit TMainForm(Seams seams = {});
    ~TMainForm() override;

    // Controls, named as the rest of the program refers to them.
    QWidget* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label5 = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QLabel* Image1 = nullptr;
    QWidget* Panel3 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QPlainTextEdit* RichEdit1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    awardsync::PageLoader* Ie = nullptr;

    bool Busy = false;
    std::unique_ptr<awardsync::SortedStringList> CreditUrls;
    std::unique_ptr<awardsync::NameValueList> QsoFields;
    std::unique_ptr<awardsync::SortedStringList> Records;
    // The award categories of each address and record line, for the credits file.
    std::unique_ptr<awardsync::CreditsCollector> Credits;

    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormDestroy();
    void BitBtn1Click();
    void BitBtn4Click();
    void ApplicationEvents1Idle();
    void SpeedButton1Click();
    void Image1Click();

    void LoadSettings();
    void SaveSettings();
    void DownloadCredits();
    void LoginToLotw();
    void GetCreditList(int index);
    void GetQsoDetails(int index);
    void AddCreditRecord();
    void AddLog(const std::string& text);
    // Handles the waiting window messages, then applies the enabling rule. With WaitForMoreEvents
    // it sleeps until something arrives, which is how page waits avoid burning a core.
    void PumpMessages(QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

    // True from the start of a download run until it has returned, also after an Abort.
    bool runInProgress() const { return runInProgress_; }
    QString settingsPath() const;
    const std::string& serviceEndpoint() const { return endpoint_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // The account field, read the same way for the run and the settings file.
    int accountNumber() const;
    void showErrorBox(const std::string& message);
    // Handles window messages until `duration` has passed or `stop` says so, asleep in between.
    void waitResponsively(std::chrono::milliseconds duration, const std::function<bool()>& stop);
    // The download run over the window's page loader and lists; made once they exist.
    void createRun();
    // Runs an event handler; an error that escapes it is shown in an error box and goes no further.
    void guarded(const std::function<void()>& handler);

    class RunWindow;
    // RunWindow is known only where the run is driven (main_form_run.cpp).
    struct RunWindowDeleter {
        void operator()(RunWindow* window) const;
    };

    Seams seams_;
    std::unique_ptr<RunWindow, RunWindowDeleter> runWindow_;
    std::unique_ptr<awardsync::DownloadRun> harvest_;
    QString executablePath_;
    std::string endpoint_;
    bool runInProgress_ = false;
    bool shown_ = false;
    bool closeAfterRun_ = false; // a close request came during a run
    bool logoPressed_ = false;
};
