#include "account_window.h"

#include "account_file.h"
#include "account_name.h"
#include "controls.h"
#include "fonts.h"
#include "message_box.h"
#include "twips.h"
#include "windows1250.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>

namespace kontomat {
namespace {

// Client area and control places, in twips.
constexpr int kClientWidth = 3885;
constexpr int kClientHeight = 1830;

constexpr hall::ControlPlace kTitle{"Label3", 90, 30, 2115, 195};
constexpr hall::ControlPlace kUserNameLabel{"Label1", 375, 390, 795, 195};
constexpr hall::ControlPlace kUserNameField{"Text1", 1560, 345, 2220, 345};
constexpr hall::ControlPlace kPasswordLabel{"Label2", 615, 840, 375, 195};
constexpr hall::ControlPlace kPasswordField{"Text2", 1515, 825, 2250, 315};
constexpr hall::ControlPlace kGenerate{"Command1", 945, 1260, 1200, 390};
constexpr hall::ControlPlace kCancel{"Command2", 2295, 1275, 1470, 360};

}  // namespace

AccountWindow::AccountWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Form1"));
    setFont(hall::msSansSerif());
    setFixedSize(hall::twips(kClientWidth), hall::twips(kClientHeight));

    titleLabel = hall::place(new QLabel(QStringLiteral("Kontomat – nowe konto"), this), kTitle);
    userNameLabel = hall::place(new QLabel(QStringLiteral("użytkownik"), this), kUserNameLabel);
    userNameField = hall::place(new QLineEdit(this), kUserNameField);
    passwordLabel = hall::place(new QLabel(QStringLiteral("haslo"), this), kPasswordLabel);
    passwordField = hall::place(new QLineEdit(this), kPasswordField);
    generateButton = hall::place(hall::makeButton(QStringLiteral("Generuj"), this), kGenerate);
    cancelButton = hall::place(hall::makeButton(QStringLiteral("Anuluj"), this), kCancel);

    userNameField->setAccessibleName(QStringLiteral("użytkownik"));
    passwordField->setAccessibleName(QStringLiteral("hasło"));
    setTabOrder(userNameField, passwordField);
    setTabOrder(passwordField, generateButton);
    setTabOrder(generateButton, cancelButton);
    userNameField->setFocus();

    connect(generateButton, &QPushButton::clicked, this, &AccountWindow::generate);
    connect(cancelButton, &QPushButton::clicked, this, &AccountWindow::finished);
    hall::fitLabels(this);
}

void AccountWindow::refuse(const QString& message) { hall::showMessage(this, message); }

void AccountWindow::generate() {
    const QString password = passwordField->text();
    const QString userName = userNameField->text();
    const hall::Result<std::filesystem::path> accountFile = hall::AccountFilePath(userName);
    if (!accountFile) {
        refuse(QStringLiteral("nieprawidłowa nazwa użytkownika"));
        return;
    }
    if (hall::AccountFileExists(*accountFile)) {
        refuse(QStringLiteral("istnieje już taka nazwa użytkownika spróbój z inną"));
        return;
    }
    // A password that cannot be scrambled could be stored but never log in.
    // Characters past the stored positions play no part, whatever they are.
    const std::optional<std::string> codes = hall::toWindows1250(password.left(hall::kPasswordPositions));
    const std::optional<std::string> scrambled = codes ? hall::ScramblePassword(*codes) : std::nullopt;
    if (!scrambled) {
        refuse(QStringLiteral("hasło zawiera niedozwolony znak"));
        return;
    }
    if (!hall::WriteAccountFile(*accountFile, *scrambled)) {
        refuse(QStringLiteral("nie można utworzyć pliku konta"));
        return;
    }
    emit finished();
}

}  // namespace kontomat
