// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_form.h"

#include "app/window_texts.h"
#include "core/error.h"
#include "core/settings_file.h"
#include "core/text.h"
#include "harvest/credits_collector.h"
#include "harvest/download_run.h"
#include "service/page_loader.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>

using namespace awardsync;

namespace {

// Replaces the extension of the executable's path (or appends one when it has none).
QString besideExecutable(const QString& executablePath, const QString& extension) {
    const QFileInfo info(executablePath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    return info.absoluteDir().filePath(base + extension);
}

} // namespace

// Outside any namespace, as the resource initialiser requires; the pictures live in a static library.
static void initResources() {
    Q_INIT_RESOURCE(awardsync);
}

TMainForm::TMainForm(Seams seams) : seams_(std::move(seams)) {
    initResources();
    executablePath_ = seams_.executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : seams_.executablePath;
    if (!seams_.pause) {
        // The window stays responsive while the service gets its breath; Busy is not looked at here.
        seams_.pause = [this](std::chrono::milliseconds duration) { waitResponsively(duration, [] { return false; }); };
    }
    buildControls();
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [this] { guarded([this] { ApplicationEvents1Idle(); }); });
    guarded([this] { FormCreate(); });
    ApplicationEvents1Idle();
}

TMainForm::~TMainForm() {
    guarded([this] { FormDestroy(); });
}

void TMainForm::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        showErrorBox(error.what());
    }
}

void TMainForm::showErrorBox(const std::string& message) {
    const QString caption = toQt(errorCaption(fromQt(executablePath_)));
    const QString text = toQt(errorBoxText(message));
    if (seams_.showError) {
        seams_.showError(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, isVisible() ? this : nullptr);
    box.exec();
}

void TMainForm::waitResponsively(std::chrono::milliseconds duration, const std::function<bool()>& stop) {
    // Qt's timed processEvents never blocks, so a timer wakes the wait at the deadline instead:
    // the wait sleeps rather than spinning a core.
    const QDeadlineTimer deadline(duration, Qt::PreciseTimer);
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!deadline.hasExpired() && !stop()) {
        wake.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ApplicationEvents1Idle();
    }
}

QString TMainForm::settingsPath() const {
    return besideExecutable(executablePath_, QStringLiteral(".ini"));
}

void TMainForm::FormCreate() {
    CreditUrls = std::make_unique<SortedStringList>();
    QsoFields = std::make_unique<NameValueList>();
    Records = std::make_unique<SortedStringList>();
    Credits = std::make_unique<CreditsCollector>();
    createRun();
    LoadSettings();
}

void TMainForm::FormShow() {
    // The page loader has no visible part: there is nothing to shrink.
}

bool TMainForm::FormCloseQuery() {
    Busy = false;
    AddLog("Aborting operation...");
    return true;
}

void TMainForm::FormDestroy() {
    // The lists go even when saving the settings fails.
    struct ReleaseLists {
        TMainForm& form;
        ~ReleaseLists() {
            form.harvest_.reset(); // it works on the lists
            form.runWindow_.reset();
            form.CreditUrls.reset();
            form.QsoFields.reset();
            form.Records.reset();
            form.Credits.reset();
        }
    } release{*this};
    SaveSettings();
}

void TMainForm::LoadSettings() {
    const SettingsFile file(settingsPath());
    Edit1->setText(toQt(file.readString(SettingsKeys::Call)));
    Edit2->setText(toQt(file.readString(SettingsKeys::Password)));
    const QString defaultRecords = besideExecutable(executablePath_, QStringLiteral(".txt"));
    const SettingsKey& records = SettingsKeys::TextFile;
    Edit3->setText(toQt(file.readString(records.section, records.name, fromQt(defaultRecords))));
    SpinEdit1->setValue(std::clamp(file.readInteger(SettingsKeys::Account), 1, 20));
    CheckBox1->setChecked(file.readBool(SettingsKeys::Ssb));
    CheckBox2->setChecked(file.readBool(SettingsKeys::OnlyNew));

    endpoint_ = file.readString(SettingsKeys::Endpoint);
    while (!endpoint_.empty() && endpoint_.back() == '/') {
        endpoint_.pop_back();
    }
    harvest_->setEndpoint(endpoint_);
    PageLoader::configureTls(file.readString(SettingsKeys::CAFile));
}

void TMainForm::SaveSettings() {
    SettingsFile file(settingsPath());
    file.writeString(SettingsKeys::Call, fromQt(Edit1->text()));
    file.writeString(SettingsKeys::Password, fromQt(Edit2->text()));
    file.writeString(SettingsKeys::TextFile, fromQt(Edit3->text()));
    file.writeString(SettingsKeys::Account, std::to_string(accountNumber()));
    file.writeString(SettingsKeys::Ssb, CheckBox1->isChecked() ? "1" : "0");
    file.writeString(SettingsKeys::OnlyNew, CheckBox2->isChecked() ? "1" : "0");
    file.flush();
}

void TMainForm::AddLog(const std::string& text) {
    QString lines = toQt(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Appending and scrolling cost the same however long the pane already is.
    RichEdit1->appendPlainText(lines);
    QScrollBar* bar = RichEdit1->verticalScrollBar();
    bar->setValue(bar->maximum());
    RichEdit1->viewport()->repaint();
}

void TMainForm::PumpMessages(QEventLoop::ProcessEventsFlags flags) {
    QCoreApplication::processEvents(flags);
    ApplicationEvents1Idle();
}

void TMainForm::ApplicationEvents1Idle() {
    BitBtn4->setEnabled(Busy);
    // A run that was aborted but has not yet returned still owns the page loader and the lists.
    BitBtn1->setEnabled(!Edit1->text().isEmpty() && !Edit2->text().isEmpty() && !Busy && !runInProgress_);
}

void TMainForm::BitBtn4Click() {
    Busy = false;
    AddLog("Aborting operation...");
}

void TMainForm::SpeedButton1Click() {
    const QString filter = QStringLiteral("TXT files (*.txt);;All files (*)");
    std::optional<QString> chosen;
    if (seams_.chooseFile) {
        chosen = seams_.chooseFile(Edit3->text(), filter);
    } else {
        QFileDialog dialog(this);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setNameFilter(filter);
        dialog.selectNameFilter(QStringLiteral("TXT files (*.txt)"));
        dialog.selectFile(Edit3->text());
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = dialog.selectedFiles().constFirst();
        }
    }
    if (chosen) {
        Edit3->setText(*chosen);
    }
    Edit3->setText(toQt(withRecordsExtension(fromQt(Edit3->text()))));
}

void TMainForm::Image1Click() {
    const QString caption = QStringLiteral("About Awardsync");
    const QString text = toQt(aboutText());
    if (seams_.showAbout) {
        seams_.showAbout(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, this);
    box.exec();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (closeAfterRun_ && !runInProgress_) {
        // The close asked for during the run, carried out now that it has returned.
        closeAfterRun_ = false;
        event->accept();
        return;
    }
    bool canClose = true;
    guarded([&] { canClose = FormCloseQuery(); });
    if (canClose && runInProgress_) {
        // The window stays, visible and painted, while the run winds down and saves, so that what
        // it logs and any error box it shows still have their window.
        closeAfterRun_ = true;
        canClose = false;
    }
    event->setAccepted(canClose);
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        guarded([this] { FormShow(); });
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (watched == Image1 && (press || event->type() == QEvent::MouseButtonRelease)) {
        // A click on the logo: the left button pressed and released over it.
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        const bool overLogo = mouse->button() == Qt::LeftButton && Image1->rect().contains(mouse->position().toPoint());
        if (press) {
            logoPressed_ = overLogo;
        } else if (std::exchange(logoPressed_, false) && overLogo) {
            guarded([this] { Image1Click(); });
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
