#include "login_window.h"

#include "account_file.h"
#include "account_name.h"
#include "controls.h"
#include "fonts.h"
#include "message_box.h"
#include "twips.h"
#include "windows1250.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>

#include <array>
#include <filesystem>

namespace {

const QString kUnknownUser = QStringLiteral("program nie zna takiego użytkownika");
const QString kWrongPassword = QStringLiteral("Hasło nieprawidłowe sprubuj ponownie!");

// Client area and control places, in twips.
constexpr int kClientWidth = 4365;
constexpr int kClientHeight = 1890;

constexpr hall::ControlPlace kUserNameLabel{"Label1", 420, 225, 795, 195};
constexpr hall::ControlPlace kUserNameField{"Text1", 1350, 105, 2805, 360};
constexpr hall::ControlPlace kPasswordLabel{"Label2", 780, 630, 405, 195};
constexpr hall::ControlPlace kPasswordField{"Text2", 1350, 570, 2790, 375};
constexpr hall::ControlPlace kOk{"Command1", 690, 1050, 1275, 375};
constexpr hall::ControlPlace kCancel{"Command2", 2265, 1035, 1320, 390};

// The application's style, but a password shows one "#" per character.
class HashPasswordStyle : public QProxyStyle {
public:
    HashPasswordStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '#';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

LoginWindow::LoginWindow(std::function<QWidget*()> createMainWindow, QWidget* parent)
    : QWidget(parent), createMainWindow_(std::move(createMainWindow)) {
    setObjectName(QStringLiteral("Login"));
    setWindowTitle(QStringLiteral("login"));
    setFont(hall::msSansSerif());
    setFixedSize(hall::twips(kClientWidth), hall::twips(kClientHeight));
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(255, 224, 192));
    setPalette(background);
    setAutoFillBackground(true);

    createControls();
    hall::fitLabels(this);
    // The window system puts its frame around the centred client area.
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen()->availableGeometry()));

    connect(passwordField, &QLineEdit::returnPressed, this, &LoginWindow::check);
    connect(okButton, &QPushButton::clicked, this, &LoginWindow::check);
    connect(cancelButton, &QPushButton::clicked, qApp, &QCoreApplication::quit);
}

void LoginWindow::createControls() {
    userNameLabel = hall::place(new QLabel(QStringLiteral("użytkownik"), this), kUserNameLabel);
    userNameField = hall::place(new QLineEdit(this), kUserNameField);
    passwordLabel = hall::place(new QLabel(QStringLiteral("hasło"), this), kPasswordLabel);
    passwordField = hall::place(new QLineEdit(this), kPasswordField);
    okButton = hall::place(hall::makeButton(QStringLiteral("ok"), this), kOk);
    cancelButton = hall::place(hall::makeButton(QStringLiteral("anuluj"), this), kCancel);

    userNameField->setAccessibleName(QStringLiteral("użytkownik"));
    passwordField->setAccessibleName(QStringLiteral("hasło"));
    passwordField->setEchoMode(QLineEdit::Password);
    auto* hashes = new HashPasswordStyle;
    hashes->setParent(passwordField);
    passwordField->setStyle(hashes);

    setTabOrder(userNameField, passwordField);
    setTabOrder(passwordField, okButton);
    setTabOrder(okButton, cancelButton);
    userNameField->setFocus();
}

void LoginWindow::check() {
    switch (verdict()) {
        case Verdict::UnknownUser: hall::showMessage(this, kUnknownUser); break;
        case Verdict::WrongPassword: askAgainForPassword(); break;
        case Verdict::Accepted: openMainWindow(); break;
    }
}

LoginWindow::Verdict LoginWindow::verdict() const {
    // A name that could reach outside the working directory or one of the
    // configurator's own files is nobody's account: their content is known.
    // So is a name without an exact file-name form.
    const hall::Result<std::filesystem::path> accountFile = hall::AccountFilePath(userNameField->text());
    if (!accountFile) return Verdict::UnknownUser;
    const hall::os::SysResult<std::string> stored = hall::ReadAccountFile(*accountFile);
    if (!stored) return Verdict::UnknownUser;

    // Characters past the compared positions play no part, whatever they are.
    const std::optional<std::string> codes = hall::toWindows1250(passwordField->text().left(hall::kPasswordPositions));
    const std::optional<std::string> scrambled = codes ? hall::ScramblePassword(*codes) : std::nullopt;
    if (!scrambled) return Verdict::UnknownUser;
    return *scrambled == *stored ? Verdict::Accepted : Verdict::WrongPassword;
}

void LoginWindow::openMainWindow() {
    if (!mainWindow_) mainWindow_ = createMainWindow_();
    // Shown before this window closes, so the program never has no window.
    mainWindow_->show();
    close();
}

void LoginWindow::askAgainForPassword() {
    hall::showMessage(this, kWrongPassword);
    // The next typing replaces the whole password.
    activateWindow();
    passwordField->setFocus();
    passwordField->selectAll();
}
