// The download run: the Download button and the steps of a harvest, as methods of the window.
#include "app/main_form.h"
#include "core/text.h"
#include "harvest/credit_list.h"
#include "harvest/qso_details.h"
#include "records/credit_record.h"
#include "records/records_file.h"
#include "service/login.h"
#include "service/page_loader.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

using namespace awardsync;

namespace {

constexpr auto CreditListPause = std::chrono::milliseconds(1000);

} // namespace

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
    Records->clear();
    CreditUrls->clear();
    ProgressBar1->setValue(0);
    RichEdit1->clear();

    AddLog("Logging in to LotW...");
    try {
        LoginToLotw();
    } catch (const std::exception& error) {
        AddLog(std::string("  Login failed: ") + error.what());
        return;
    }
    if (!Busy) {
        return;
    }
    AddLog("Logged in.");
    AddLog("\rDownloading credit lists");

    bool aborted = false;
    for (int i = 0; i < static_cast<int>(AwardIds.size()); ++i) {
        if (!Busy) {
            aborted = true;
            break;
        }
        AddLog(std::string("  ") + AwardIds[static_cast<std::size_t>(i)]);
        try {
            GetCreditList(i);
        } catch (const std::exception& error) {
            AddLog(std::string("  Error: ") + error.what());
        }
    }
    AddLog("\r" + std::to_string(CreditUrls->count()) + " credits found.\r\r");
    if (aborted || CreditUrls->empty()) {
        return;
    }

    AddLog("Downloading QSO data...\r");
    const int count = static_cast<int>(CreditUrls->count());
    ProgressBar1->setMaximum(count);
    ProgressBar1->setValue(0);
    for (int i = 0; i < count; ++i) {
        try {
            GetQsoDetails(i);
            AddLog("    " + QsoFields->value("Worked"));
        } catch (const std::exception& error) {
            AddLog(std::string("  Error: ") + error.what());
        }
        ProgressBar1->setValue(ProgressBar1->value() + 1);
        if (!Busy) {
            break;
        }
    }

    AddLog("\rSaving records...");
    saveLinesToFile(Records->lines(), fromQt(Edit3->text()));
    AddLog("Done");
    ProgressBar1->setValue(0);
}

void TMainForm::LoginToLotw() {
    loginToService(*Ie, endpoint_, fromQt(Edit1->text()), fromQt(Edit2->text()));
}

void TMainForm::GetCreditList(int index) {
    const std::string url = creditListUrl(endpoint_, index, accountNumber());
    Ie->Navigate(url);
    Ie->WaitForPage();
    seams_.pause(CreditListPause);
    collectCreditLinks(Ie->Document(), *CreditUrls);
}

void TMainForm::GetQsoDetails(int index) {
    const std::string url = (*CreditUrls)[static_cast<std::size_t>(index)];
    Ie->Navigate(url);
    Ie->WaitForPage();
    readQsoFields(Ie->Document(), url, *QsoFields);
    AddCreditRecord();
}

void TMainForm::AddCreditRecord() {
    Records->add(buildRecordLine(*QsoFields, CheckBox1->isChecked()));
}
