// SPDX-License-Identifier: GPL-3.0-or-later
// The download run: the Download button and the steps of a harvest, as methods of the window.
#include "app/main_form.h"
#include "core/text.h"
#include "harvest/credit_list.h"
#include "harvest/credits_collector.h"
#include "harvest/qso_details.h"
#include "records/credit_record.h"
#include "records/credits_file.h"
#include "records/records_file.h"
#include "service/login.h"
#include "service/page_loader.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

using namespace awardsync;

namespace {

constexpr auto CreditListPause = std::chrono::milliseconds(1000);

// The records file, then beside it the credits file: each record line with what its categories grant.
void saveRunFiles(const SortedStringList& records, const CreditsCollector& credits, const std::string& recordsPath) {
    const std::vector<std::string> lines = records.lines();
    saveLinesToFile(lines, recordsPath);
    std::vector<CreditsRecord> creditsRecords;
    creditsRecords.reserve(lines.size());
    for (const std::string& line : lines) {
        const AwardSet awards = credits.awardsOfLine(line);
        creditsRecords.push_back({.line = line, .credits = creditsGrantedBy(awards), .awards = awardIdsOf(awards)});
    }
    const CreditsHeader header{
        .account = credits.account, .programVersion = AWARDSYNC_VERSION, .created = QDateTime::currentDateTimeUtc()};
    saveCreditsFile(header, creditsRecords, creditsFilePath(recordsPath));
}

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
    Credits->clear();
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
    saveRunFiles(*Records, *Credits, fromQt(Edit3->text()));
    AddLog("Done");
    ProgressBar1->setValue(0);
}

void TMainForm::LoginToLotw() {
    loginToService(*Ie, endpoint_, fromQt(Edit1->text()), fromQt(Edit2->text()));
}

void TMainForm::GetCreditList(int index) {
    Credits->account = accountNumber();
    const std::string url = creditListUrl(endpoint_, index, Credits->account);
    Ie->Navigate(url);
    Ie->WaitForPage();
    seams_.pause(CreditListPause);
    collectCreditLinks(Ie->Document(), *CreditUrls, [this, index](const std::string& address) {
        Credits->addListed(address, static_cast<std::size_t>(index));
    });
}

void TMainForm::GetQsoDetails(int index) {
    const std::string url = (*CreditUrls)[static_cast<std::size_t>(index)];
    Ie->Navigate(url);
    Ie->WaitForPage();
    readQsoFields(Ie->Document(), url, *QsoFields);
    Credits->detailAddress = url;
    AddCreditRecord();
}

void TMainForm::AddCreditRecord() {
    const std::string line = buildRecordLine(*QsoFields, CheckBox1->isChecked());
    Records->add(line);
    Credits->addLine(line, Credits->detailAddress);
}
