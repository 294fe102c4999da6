// SPDX-License-Identifier: GPL-3.0-or-later
#include "mark_window.h"

#include "core/settings_file.h"
#include "core/text.h"
#include "mark/run_files.h"
#include "records/credits_file.h"
#include "report_table.h"
#include "standings_tab.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableWidget>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <new>

// Outside any namespace, as the resource initialiser requires; the icon lives in a static library.
static void initResources() {
    Q_INIT_RESOURCE(mark_window);
}

namespace awardsync::markwindow {

namespace {

const QString RecordsKey = QStringLiteral("records");
const QString LogKey = QStringLiteral("log");
const QString OutputKey = QStringLiteral("output");
const QString OnlyMarkedKey = QStringLiteral("onlyMarked");
constexpr int ProgressRange = 1000;
constexpr int TitleBarRoom = 40; // the window manager's title bar and frame, outside the window's size

QString defaultOutputFor(const QString& log) {
    return log.trimmed().isEmpty() ? QString() : toQt(mark::defaultOutputPath(fromQt(log.trimmed())));
}

QPushButton* chooserButton(const QString& accessibleName, QWidget* parent) {
    auto* button = new QPushButton(QObject::tr("Choose…"), parent);
    button->setAccessibleName(accessibleName);
    button->setAutoDefault(false); // Enter in a path field marks; it does not open a chooser
    return button;
}

} // namespace

QString recordsFileOfDownloadProgram(const QString& programDir) {
    const QString settingsPath = QDir(programDir).filePath(QStringLiteral("awardsync.ini"));
    if (!QFileInfo::exists(settingsPath)) {
        return {};
    }
    return toQt(SettingsFile(settingsPath).readString(SettingsKeys::TextFile));
}

QString creditsOfDownloadProgram(const QString& programDir) {
    const QString records = recordsFileOfDownloadProgram(programDir);
    const QString credits = toQt(creditsFilePath(fromQt(records)));
    return !records.isEmpty() && QFileInfo::exists(credits) ? credits : records;
}

MarkWindow::MarkWindow(const QString& programDir, Seams seams, QWidget* parent)
    : QDialog(parent), seams_(std::move(seams)) {
    initResources();
    setWindowTitle(tr("Mark granted credits in a logbook"));
    setWindowIcon(QIcon(QStringLiteral(":/awardsync-mark.png")));
    setSizeGripEnabled(true);

    records_ = new QLineEdit(this);
    auto* chooseRecords = chooserButton(tr("Choose the credits"), this);
    log_ = new QLineEdit(this);
    auto* chooseLog = chooserButton(tr("Choose the ADIF log"), this);
    output_ = new QLineEdit(this);
    auto* chooseOutput = chooserButton(tr("Choose the output"), this);
    onlyMarked_ = new QCheckBox(tr("O&nly the QSOs that gain a credit"), this);
    mark_ = new QPushButton(tr("&Mark"), this);
    mark_->setDefault(true);
    cancel_ = new QPushButton(tr("&Cancel"), this);
    cancel_->setAutoDefault(false);
    openFolder_ = new QPushButton(tr("Open &folder"), this);
    openFolder_->setAutoDefault(false);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, ProgressRange);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    table_ = makeReportTable(this, seams_.copyText);

    const auto labelFor = [this](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    auto* grid = new QGridLayout(addStandingsTab(this, standings_));
    grid->addWidget(labelFor(tr("C&redits:"), records_), 0, 0);
    grid->addWidget(records_, 0, 1);
    grid->addWidget(chooseRecords, 0, 2);
    grid->addWidget(labelFor(tr("ADIF &log:"), log_), 1, 0);
    grid->addWidget(log_, 1, 1);
    grid->addWidget(chooseLog, 1, 2);
    grid->addWidget(labelFor(tr("&Output:"), output_), 2, 0);
    grid->addWidget(output_, 2, 1);
    grid->addWidget(chooseOutput, 2, 2);
    grid->addWidget(onlyMarked_, 3, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(progress_, 1);
    buttons->addWidget(mark_);
    buttons->addWidget(cancel_);
    buttons->addWidget(openFolder_);
    grid->addLayout(buttons, 4, 0, 1, 3);
    grid->addWidget(message_, 5, 0, 1, 3);
    grid->addWidget(table_, 6, 0, 1, 3);
    grid->setRowStretch(6, 1);
    grid->setColumnStretch(1, 1);

    choosers_ = {chooseRecords, chooseLog, chooseOutput};
    QWidget* const order[] = {records_,    chooseRecords, log_,    chooseLog,   output_, chooseOutput,
                              onlyMarked_, mark_,         cancel_, openFolder_, table_};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    // Measured in the desktop's font rather than pixels, as the rows are. At least room for a path and a few
    // report lines; at first the whole grid beside its panel and 20 of its rows (or a run's summary and 12
    // report rows), which a laptop's screen of 1366 x 768 holds with a title bar and a panel. A smaller
    // screen gets all it has.
    const QFontMetrics metrics = fontMetrics();
    setMinimumSize(metrics.averageCharWidth() * 72, metrics.lineSpacing() * 20);
    const QSize room = screen()->availableGeometry().size() - QSize(0, TitleBarRoom);
    resize(QSize(metrics.averageCharWidth() * 212, metrics.lineSpacing() * 48).boundedTo(room));

    connect(records_, &QLineEdit::textChanged, this, &MarkWindow::updateEnabled);
    connect(log_, &QLineEdit::textChanged, this, &MarkWindow::logChanged);
    connect(output_, &QLineEdit::textEdited, this, [this](const QString& text) {
        outputFollowsLog_ = text.trimmed().isEmpty() || text == defaultOutputFor(log_->text());
    });
    const QString adiFilter = tr("ADI logs (*.adi *.ADI);;All files (*)");
    connect(chooseRecords, &QPushButton::clicked, this,
            [this] { choose(records_, false, tr("Credits (*.adi *.ADI *.txt);;All files (*)")); });
    connect(chooseLog, &QPushButton::clicked, this, [this, adiFilter] { choose(log_, false, adiFilter); });
    connect(chooseOutput, &QPushButton::clicked, this, [this, adiFilter] { choose(output_, true, adiFilter); });
    connect(mark_, &QPushButton::clicked, this, &MarkWindow::startMarking);
    connect(cancel_, &QPushButton::clicked, this, &MarkWindow::cancelMarking);
    connect(openFolder_, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(outputFolder_)); });

    loadSettings();
    if (records_->text().isEmpty()) {
        records_->setText(creditsOfDownloadProgram(programDir));
    }
    updateEnabled();
}

MarkWindow::~MarkWindow() {
    if (worker_ != nullptr) {
        run_->cancel = true;
        worker_->wait();
        delete worker_;
    }
    saveSettings();
}

void MarkWindow::updateEnabled() {
    const bool working = isWorking();
    mark_->setEnabled(!working && !records_->text().trimmed().isEmpty() && !log_->text().trimmed().isEmpty());
    cancel_->setEnabled(working);
    openFolder_->setEnabled(!working && !outputFolder_.isEmpty());
    for (QWidget* widget : {static_cast<QWidget*>(records_), static_cast<QWidget*>(log_),
                            static_cast<QWidget*>(output_), static_cast<QWidget*>(onlyMarked_)}) {
        widget->setEnabled(!working);
    }
    for (QPushButton* button : choosers_) {
        button->setEnabled(!working);
    }
    standings_->setWorking(working);
}

void MarkWindow::logChanged() {
    if (outputFollowsLog_) {
        output_->setText(defaultOutputFor(log_->text()));
    }
    updateEnabled();
}

void MarkWindow::choose(QLineEdit* edit, bool save, const QString& filter) {
    const QString start = edit->text().isEmpty() ? QDir::homePath() : edit->text();
    const QString path = save ? QFileDialog::getSaveFileName(this, tr("Output"), start, filter)
                              : QFileDialog::getOpenFileName(this, tr("Open"), start, filter);
    if (!path.isEmpty()) {
        edit->setText(path);
        if (edit == output_) {
            outputFollowsLog_ = path == defaultOutputFor(log_->text());
        }
    }
}

void MarkWindow::startMarking() {
    if (!mark_->isEnabled()) {
        return;
    }
    mark::MarkOptions options;
    options.recordsPath = fromQt(records_->text().trimmed());
    options.logPath = fromQt(log_->text().trimmed());
    options.outputPath = fromQt(output_->text().trimmed());
    options.onlyMarked = onlyMarked_->isChecked();
    saveSettings();

    table_->setSortingEnabled(false);
    table_->setRowCount(0);
    message_->setText(tr("Marking…"));
    outputFolder_.clear();
    progress_->setRange(0, 0); // reading the files gives no progress: a busy bar until the first report

    run_ = std::make_shared<Run>();
    // The worker owns a share of the run, so that what it writes outlives a window closed meanwhile.
    worker_ = QThread::create([this, run = run_, options, onProgress = seams_.onProgress] {
        const mark::MarkProgress progress = [&](mark::MarkPhase phase, std::int64_t done, std::int64_t total) {
            if (onProgress) {
                onProgress();
            }
            QMetaObject::invokeMethod(
                this, [this, phase, done, total] { showProgress(static_cast<int>(phase), done, total); },
                Qt::QueuedConnection);
            return !run->cancel.load();
        };
        try {
            run->result = mark::markFiles(options, progress, keepStandings(run->standings, options));
        } catch (const mark::MarkCancelled&) {
            run->cancelled = true;
        } catch (const std::bad_alloc&) {
            run->error = toQt(mark::outOfMemoryMessage(options.recordsPath, options.logPath));
        } catch (const std::exception& error) {
            run->error = toQt(error.what());
        }
    });
    connect(worker_, &QThread::finished, this, &MarkWindow::workerDone);
    worker_->start();
    updateEnabled();
    cancel_->setFocus();
}

void MarkWindow::cancelMarking() {
    if (run_ && worker_ != nullptr) {
        run_->cancel = true;
        message_->setText(tr("Cancelling…"));
    }
}

void MarkWindow::showProgress(int phase, qint64 done, qint64 total) {
    if (!isWorking()) {
        return; // a report that arrived after the run ended
    }
    // Reading the log takes most of the time; matching and writing share the rest.
    static constexpr int Start[] = {0, 700, 800};
    static constexpr int Span[] = {700, 100, 200};
    progress_->setRange(0, ProgressRange);
    progress_->setValue(Start[phase] + static_cast<int>(total > 0 ? Span[phase] * done / total : 0));
}

void MarkWindow::workerDone() {
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    const std::shared_ptr<Run> run = std::move(run_);
    progress_->setRange(0, ProgressRange);
    if (run->cancelled) {
        progress_->setValue(0);
        message_->setText(tr("Cancelled: nothing was written."));
    } else if (!run->error.isEmpty()) {
        progress_->setValue(0);
        message_->setText(run->error);
    } else {
        progress_->setValue(ProgressRange);
        showResult(*run->result);
    }
    standings_->setStandings(run->result && !run->cancelled ? run->standings : nullptr);
    updateEnabled();
    (run->result && !run->cancelled ? static_cast<QWidget*>(table_) : mark_)->setFocus();
    emit markingFinished();
}

void MarkWindow::showResult(const mark::MarkResult& result) {
    QStringList lines;
    for (const std::string& warning : result.warnings) {
        lines << tr("Warning: %1").arg(toQt(warning));
    }
    for (const std::string& line : mark::summaryLines(result.summary)) {
        lines << toQt(line);
    }
    lines << toQt(mark::writtenLine({result.outputPath, result.badPath}));
    message_->setText(lines.join(QLatin1Char('\n')));
    outputFolder_ = QFileInfo(toQt(result.outputPath)).absolutePath();

    // An ADI source's credits are records, named by their facts rather than by a line of their own.
    const bool adi = !result.unmatched.empty() && result.unmatched[0].adiRecord;
    table_->setHorizontalHeaderLabels(
        {adi ? tr("Record") : tr("Line"), adi ? tr("Credit") : tr("Record"), tr("Reason"), tr("Nearest QSO")});
    table_->setRowCount(static_cast<int>(result.unmatched.size()));
    for (std::size_t i = 0; i < result.unmatched.size(); ++i) {
        const mark::UnmatchedCredit& credit = result.unmatched[i];
        const int row = static_cast<int>(i);
        auto* number = new QTableWidgetItem;
        number->setData(Qt::DisplayRole, static_cast<qulonglong>(credit.lineNumber));
        table_->setItem(row, LineColumn, number);
        table_->setItem(row, RecordColumn, new QTableWidgetItem(toQt(credit.line)));
        auto* reasonItem = new QTableWidgetItem(toQt(credit.reason));
        reasonItem->setToolTip(toQt(mark::reportLine(credit)));
        table_->setItem(row, ReasonColumn, reasonItem);
        table_->setItem(row, NearestColumn, new QTableWidgetItem(toQt(credit.nearest)));
    }
    table_->setSortingEnabled(true);
    table_->sortByColumn(LineColumn, Qt::AscendingOrder);
    table_->resizeColumnsToContents();
    const int widest = fontMetrics().averageCharWidth() * 50; // the nearest QSO stays in view; the tip has it all
    table_->setColumnWidth(ReasonColumn, std::min(table_->columnWidth(ReasonColumn), widest));
    if (!result.unmatched.empty()) {
        table_->setCurrentCell(0, RecordColumn);
    }
}

void MarkWindow::reject() {
    if (isWorking()) {
        cancelMarking();
    } else {
        QDialog::reject();
    }
}

void MarkWindow::closeEvent(QCloseEvent* event) {
    cancelMarking(); // the destructor waits for the worker, which stops at its next report
    QDialog::closeEvent(event);
}

void MarkWindow::loadSettings() {
    const QSettings settings;
    records_->setText(settings.value(RecordsKey).toString());
    const QString output = settings.value(OutputKey).toString();
    const QString log = settings.value(LogKey).toString();
    outputFollowsLog_ = output.isEmpty() || output == defaultOutputFor(log);
    log_->setText(log);
    if (!outputFollowsLog_) {
        output_->setText(output);
    }
    onlyMarked_->setChecked(settings.value(OnlyMarkedKey, false).toBool());
}

void MarkWindow::saveSettings() const {
    QSettings settings;
    settings.setValue(RecordsKey, records_->text());
    settings.setValue(LogKey, log_->text());
    settings.setValue(OutputKey, output_->text());
    settings.setValue(OnlyMarkedKey, onlyMarked_->isChecked());
}

bool windowPossible() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int runMarkWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    // The window's own settings land in the user's config folder: awardsync/awardsync-mark.conf.
    QApplication::setOrganizationName(QStringLiteral("awardsync"));
    QApplication::setApplicationName(QStringLiteral("awardsync-mark"));
    QGuiApplication::setDesktopFileName(QStringLiteral("awardsync-mark"));
    MarkWindow window(QApplication::applicationDirPath());
    window.show();
    return app.exec();
}

} // namespace awardsync::markwindow
