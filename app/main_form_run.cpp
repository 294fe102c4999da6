// SPDX-License-Identifier: GPL-3.0-or-later
// The download run as the window drives it: the Download button, and the steps of a harvest,
// which the window-free run in harvest/ carries out with the window's inputs, log pane and waits.
#include "app/main_form.h"
#include "core/text.h"
#include "harvest/credits_collector.h"
#include "harvest/download_run.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

using namespace awardsync;

// What the run sees of the window: the fields as they stand when it reads them, the log pane, the
// progress bar, Busy, and waits that keep the window alive.
class TMainForm::RunWindow : public RunHost {
public:
    explicit RunWindow(TMainForm& form) : form_(form) {}

    std::string user() const override { return fromQt(form_.Edit1->text()); }
    std::string password() const override { return fromQt(form_.Edit2->text()); }
    int account() const override { return form_.accountNumber(); }
    bool phoneToSsb() const override { return form_.CheckBox1->isChecked(); }
    bool onlyNew() const override { return form_.CheckBox2->isChecked(); }
    std::string recordsPath() const override { return fromQt(form_.Edit3->text()); }

    void log(const std::string& text) override { form_.AddLog(text); }
    bool cancelled() const override { return !form_.Busy; }
    void pause(std::chrono::milliseconds duration) override { form_.seams_.pause(duration); }
    void waitBeforeRetry(std::chrono::milliseconds duration) override {
        form_.waitResponsively(duration, [this] { return !form_.Busy; });
    }
    void startProgress(int pages) override {
        form_.ProgressBar1->setMaximum(pages);
        form_.ProgressBar1->setValue(0);
    }
    void stepProgress() override { form_.ProgressBar1->setValue(form_.ProgressBar1->value() + 1); }
    void resetProgress() override { form_.ProgressBar1->setValue(0); }
    void showShortfall(const std::string& text) override {
        // On the progress bar, where the eye goes when the run ends; the next run takes it away.
        form_.ProgressBar1->setFormat(toQt(text));
        form_.ProgressBar1->setTextVisible(!text.empty());
        form_.ProgressBar1->setToolTip(toQt(text));
    }

private:
    TMainForm& form_;
};

void TMainForm::RunWindowDeleter::operator()(RunWindow* window) const {
    delete window;
}

void TMainForm::createRun() {
    runWindow_.reset(new RunWindow(*this));
    harvest_ = std::make_unique<DownloadRun>(*Ie, *runWindow_, RunLists{*CreditUrls, *QsoFields, *Records, *Credits},
                                             seams_.retryPolicy ? *seams_.retryPolicy : RetryPolicy());
}

void TMainForm::BitBtn1Click() {
    if (runInProgress_) {
        return;
    }
    DownloadCredits();
}

void TMainForm::DownloadCredits() {
    // Whatever way the run ends, it is over and Busy is false afterwards.
    struct RunScope {
        TMainForm& form;
        explicit RunScope(TMainForm& f) : form(f) { form.runInProgress_ = true; }
        ~RunScope() {
            form.Busy = false;
            form.runInProgress_ = false;
        }
    } scope(*this);

    Busy = true;
    PumpMessages();
    ProgressBar1->setValue(0);
    runWindow_->showShortfall({});
    RichEdit1->clear();
    harvest_->run();
}

void TMainForm::LoginToLotw() {
    harvest_->login();
}

void TMainForm::GetCreditList(int index) {
    harvest_->readCreditList(index);
}

void TMainForm::GetQsoDetails(int index) {
    harvest_->readQsoDetails(index);
}

void TMainForm::AddCreditRecord() {
    harvest_->addCreditRecord();
}
