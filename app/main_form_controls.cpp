// SPDX-License-Identifier: GPL-3.0-or-later
// Building the window's controls: places, captions, pictures, focus order and wiring.
#include "app/main_form.h"
#include "service/page_loader.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QToolButton>

using awardsync::PageLoader;

namespace {

constexpr int ClientWidth = 662;
constexpr int ClientHeight = 364;

// The account field's text as the account number: a field left without a number reads as 1.
int accountFromText(const QString& text) {
    bool valid = false;
    const int account = text.toInt(&valid, 10);
    return valid ? std::clamp(account, 1, 20) : 1;
}

// The account number changes only through the up and down buttons, the arrow keys and the wheel:
// typed and pasted characters, Backspace among them, are refused with a beep. The Delete key can
// still empty the field; when it loses the focus, it shows the number it reads as.
class AccountSpinBox : public QSpinBox {
public:
    explicit AccountSpinBox(QWidget* parent) : QSpinBox(parent) {
        setContextMenuPolicy(Qt::NoContextMenu);
        lineEdit()->setAcceptDrops(false);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QString text = event->text();
        if (event->matches(QKeySequence::Paste) || event->key() == Qt::Key_Backspace ||
            (!text.isEmpty() && text.at(0).isPrint())) {
            QApplication::beep();
            event->accept();
            return;
        }
        QSpinBox::keyPressEvent(event);
    }
    void fixup(QString& input) const override { input = QString::number(accountFromText(input)); }
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

} // namespace

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
    CheckBox2 = new QCheckBox(QStringLiteral("Only new QSOs"), Panel3);
    CheckBox2->setGeometry(200, 48, 150, 17);
    CheckBox2->setToolTip(
        QStringLiteral("Load only the detail pages of QSOs that the last run's credits file does not hold"));

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
    setTabOrder(CheckBox1, CheckBox2);

    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        guarded([this] { BitBtn1Click(); });
        // A close asked for during the run goes ahead once the run and any error box it left are done.
        if (closeAfterRun_ && !runInProgress_) {
            close();
        }
    });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn4Click(); }); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton1Click(); }); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(ClientWidth / 2, ClientHeight / 2));
    }
}

int TMainForm::accountNumber() const {
    return accountFromText(SpinEdit1->cleanText());
}
