#include "main_form.h"

#include "app/settings_file.h"
#include "app/window_texts.h"
#include "core/error.h"
#include "core/text.h"
#include "harvest/credit_list.h"
#include "harvest/qso_details.h"
#include "records/credit_record.h"
#include "records/records_file.h"
#include "service/login.h"
#include "service/page_loader.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

using namespace awardsync;

namespace {

constexpr int ClientWidth = 662;
constexpr int ClientHeight = 364;
constexpr auto CreditListPause = std::chrono::milliseconds(1000);
const char* const SettingsSection = "Settings";
const char* const ServiceSection = "Service";
const char* const DefaultEndpoint = "https://lotw.arrl.org";

// The account field refuses typed characters other than digits, with a beep.
class AccountSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QString text = event->text();
        if (!text.isEmpty() && text.at(0).isPrint() && !text.at(0).isDigit()) {
            QApplication::beep();
            event->accept();
            return;
        }
        QSpinBox::keyPressEvent(event);
    }
};

QFont windowFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont logFont() {
    QFont font(QStringLiteral("Liberation Mono"));
    font.setPixelSize(12);
    font.setStyleHint(QFont::Monospace);
    return font;
}

QWidget* makePanel(QWidget* window, int top, int height) {
    auto* panel = new QFrame(window);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(0, top, ClientWidth, height);
    return panel;
}

QLineEdit* makeEdit(QWidget* parent, const QRect& geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(geometry);
    return edit;
}

QLabel* makeLabel(QWidget* parent, const char* caption, int left, int top) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

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
        // Qt's timed processEvents never blocks, so a timer wakes the wait at the deadline instead:
        // the pause sleeps rather than spinning a core for a second per credit list.
        seams_.pause = [this](std::chrono::milliseconds duration) {
            const QDeadlineTimer deadline(duration, Qt::PreciseTimer);
            QTimer wake;
            wake.setSingleShot(true);
            wake.setTimerType(Qt::PreciseTimer);
            while (!deadline.hasExpired()) {
                wake.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                ApplicationEvents1Idle();
            }
        };
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

void TMainForm::buildControls() {
    setWindowTitle(QStringLiteral("Awardsync"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    setFont(windowFont());
    setAutoFillBackground(true);
    setWindowIcon(QIcon(QStringLiteral(":/awardsync/logo.jpg")));

    Panel1 = makePanel(this, 0, 41);
    Label1 = makeLabel(Panel1, "LoTW Username", 9, 16);
    Edit1 = makeEdit(Panel1, QRect(97, 14, 96, 21));
    Label2 = makeLabel(Panel1, "LoTW Password", 223, 16);
    Edit2 = makeEdit(Panel1, QRect(311, 14, 98, 21));
    Edit2->setEchoMode(QLineEdit::Password);
    Edit2->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    Label5 = makeLabel(Panel1, "Account", 440, 16);
    SpinEdit1 = new AccountSpinBox(Panel1);
    SpinEdit1->setGeometry(488, 16, 41, 22);
    SpinEdit1->setRange(1, 20);
    SpinEdit1->setSingleStep(1);
    SpinEdit1->setValue(1);
    SpinEdit1->setToolTip(QStringLiteral("Default Account = 1"));
    Image1 = new QLabel(Panel1);
    Image1->setGeometry(624, 8, 30, 30);
    Image1->setScaledContents(true);
    Image1->setPixmap(QPixmap(QStringLiteral(":/awardsync/logo.jpg")));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);

    Panel3 = makePanel(this, 41, 72);
    Label3 = makeLabel(Panel3, "Save Credits to text File", 7, 8);
    Edit3 = makeEdit(Panel3, QRect(8, 20, 401, 21));
    SpeedButton1 = new QToolButton(Panel3);
    SpeedButton1->setGeometry(415, 19, 24, 22);
    SpeedButton1->setIcon(QIcon(QStringLiteral(":/awardsync/folder.png")));
    SpeedButton1->setIconSize(QSize(16, 16));
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setAutoRaise(true);
    BitBtn1 = new QPushButton(QIcon(QStringLiteral(":/awardsync/download.png")), QStringLiteral("Download"), Panel3);
    BitBtn1->setGeometry(454, 16, 93, 25);
    BitBtn1->setIconSize(QSize(16, 16));
    BitBtn1->setToolTip(QStringLiteral("Download DXCC Credits from the LoTW server"));
    QIcon abortIcon;
    abortIcon.addFile(QStringLiteral(":/awardsync/abort.png"), QSize(16, 16), QIcon::Normal);
    abortIcon.addFile(QStringLiteral(":/awardsync/abort-disabled.png"), QSize(16, 16), QIcon::Disabled);
    BitBtn4 = new QPushButton(abortIcon, QStringLiteral("Abort"), Panel3);
    BitBtn4->setGeometry(560, 16, 95, 25);
    BitBtn4->setIconSize(QSize(16, 16));
    BitBtn4->setToolTip(QStringLiteral("Abort download"));
    CheckBox1 = new QCheckBox(QStringLiteral("Change PHONE to SSB"), Panel3);
    CheckBox1->setGeometry(8, 48, 185, 17);

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setGeometry(0, 113, ClientWidth, 234);
    RichEdit1->setReadOnly(true);
    RichEdit1->setFont(logFont());
    RichEdit1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A long run must never slow down or break the pane: the oldest lines go first.
    RichEdit1->setMaximumBlockCount(20000);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setGeometry(0, 347, ClientWidth, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Ie = new PageLoader([this] { PumpMessages(QEventLoop::WaitForMoreEvents); }, this);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, SpinEdit1);
    setTabOrder(SpinEdit1, RichEdit1);
    setTabOrder(RichEdit1, Edit3);
    setTabOrder(Edit3, BitBtn1);
    setTabOrder(BitBtn1, BitBtn4);
    setTabOrder(BitBtn4, CheckBox1);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn1Click(); }); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn4Click(); }); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton1Click(); }); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(ClientWidth / 2, ClientHeight / 2));
    }
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

QString TMainForm::settingsPath() const {
    return besideExecutable(executablePath_, QStringLiteral(".ini"));
}

void TMainForm::FormCreate() {
    CreditUrls = std::make_unique<SortedStringList>();
    QsoFields = std::make_unique<NameValueList>();
    Records = std::make_unique<SortedStringList>();
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
            form.CreditUrls.reset();
            form.QsoFields.reset();
            form.Records.reset();
        }
    } release{*this};
    SaveSettings();
}

void TMainForm::LoadSettings() {
    const SettingsFile file(settingsPath());
    Edit1->setText(toQt(file.readString(SettingsSection, "Call", "")));
    Edit2->setText(toQt(file.readString(SettingsSection, "Password", "")));
    const QString defaultRecords = besideExecutable(executablePath_, QStringLiteral(".txt"));
    Edit3->setText(toQt(file.readString(SettingsSection, "TextFile", fromQt(defaultRecords))));
    SpinEdit1->setValue(std::clamp(file.readInteger(SettingsSection, "Account", 1), 1, 20));
    CheckBox1->setChecked(file.readBool(SettingsSection, "SSB", true));

    endpoint_ = file.readString(ServiceSection, "Endpoint", DefaultEndpoint);
    while (!endpoint_.empty() && endpoint_.back() == '/') {
        endpoint_.pop_back();
    }
    PageLoader::configureTls(file.readString(ServiceSection, "CAFile", ""));
}

void TMainForm::SaveSettings() {
    SettingsFile file(settingsPath());
    file.writeString(SettingsSection, "Call", fromQt(Edit1->text()));
    file.writeString(SettingsSection, "Password", fromQt(Edit2->text()));
    file.writeString(SettingsSection, "TextFile", fromQt(Edit3->text()));
    bool valid = false;
    const int account = SpinEdit1->cleanText().toInt(&valid, 10);
    file.writeString(SettingsSection, "Account", std::to_string(valid ? account : 1));
    file.writeString(SettingsSection, "SSB", CheckBox1->isChecked() ? "1" : "0");
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

void TMainForm::BitBtn1Click() {
    if (runInProgress_) {
        return;
    }
    DownloadCredits();
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
    bool canClose = true;
    guarded([&] { canClose = FormCloseQuery(); });
    if (canClose) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        guarded([this] { FormShow(); });
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease) {
        guarded([this] { Image1Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
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
    const std::string url = creditListUrl(endpoint_, index, SpinEdit1->value());
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
