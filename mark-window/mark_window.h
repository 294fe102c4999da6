// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mark/marking.h"
#include "mark/standings_files.h"

#include <QDialog>
#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;

namespace awardsync::markwindow {

class StandingsTab;

// The records file that the download program writes: "TextFile" in section "Settings" of the
// settings file beside `awardsync` in `programDir`, or empty when there is none. Only read.
QString recordsFileOfDownloadProgram(const QString& programDir);

// The credits the window offers first: the credits file beside that records file when it exists,
// else the records file (or empty).
QString creditsOfDownloadProgram(const QString& programDir);

// The window of awardsync-mark: three paths (the credits, the log, the output), a tick box and Mark; the marking runs
// on a worker thread, can be cancelled (then nothing is written), and its report fills a table.
class MarkWindow : public QDialog {
    Q_OBJECT
public:
    struct Seams {
        std::function<void()> onProgress;             // on the worker thread, at every progress report
        std::function<void(const QString&)> copyText; // replaces the clipboard
    };

    // `programDir`: the folder of awardsync-mark, where `awardsync` and its settings file are looked for.
    explicit MarkWindow(const QString& programDir, Seams seams = {}, QWidget* parent = nullptr);
    ~MarkWindow() override;

    QLineEdit* recordsEdit() const { return records_; }
    QLineEdit* logEdit() const { return log_; }
    QLineEdit* outputEdit() const { return output_; }
    QCheckBox* onlyMarkedBox() const { return onlyMarked_; }
    QPushButton* markButton() const { return mark_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* openFolderButton() const { return openFolder_; }
    QLabel* messageLabel() const { return message_; }
    QTableWidget* table() const { return table_; }
    StandingsTab* standingsTab() const { return standings_; }
    bool isWorking() const { return worker_ != nullptr; }

    void startMarking();
    void cancelMarking();

signals:
    void markingFinished();

protected:
    void reject() override; // Escape cancels a run; otherwise it closes the window
    void closeEvent(QCloseEvent* event) override;

private:
    void updateEnabled();
    void logChanged();
    void choose(QLineEdit* edit, bool save, const QString& filter);
    void showProgress(int phase, qint64 done, qint64 total);
    void workerDone();
    void showResult(const mark::MarkResult& result);
    void loadSettings();
    void saveSettings() const;

    Seams seams_;
    QLineEdit* records_;
    QLineEdit* log_;
    QLineEdit* output_;
    QCheckBox* onlyMarked_;
    QPushButton* mark_;
    QPushButton* cancel_;
    QPushButton* openFolder_;
    std::array<QPushButton*, 3> choosers_{};
    QProgressBar* progress_;
    QLabel* message_;
    QTableWidget* table_;
    StandingsTab* standings_;
    QString outputFolder_;
    bool outputFollowsLog_ = true; // the output name is derived from the log until the user edits it

    // The run in progress: the worker, its cancel flag and what it hands back.
    struct Run {
        std::atomic<bool> cancel{false};
        std::optional<mark::MarkResult> result;
        std::shared_ptr<const mark::StandingsData> standings;
        QString error;
        bool cancelled = false;
    };
    std::shared_ptr<Run> run_;
    QThread* worker_ = nullptr;
};

// Whether there is a display to open the window on (without one, Qt would abort the program).
bool windowPossible();

// Opens the window as a desktop program: application names for QSettings, then the event loop.
int runMarkWindow(int argc, char** argv);

} // namespace awardsync::markwindow
