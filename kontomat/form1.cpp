#include "form1.h"

#include "account_file.h"
#include "controls.h"
#include "fonts.h"
#include "message_box.h"
#include "twips.h"
#include "windows1250.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>

namespace kontomat {
namespace {

// Client area and control places, in twips.
constexpr int kClientWidth = 3885;
constexpr int kClientHeight = 1830;

struct Place {
    int left, top, width, height;
};
constexpr Place kLabel3{90, 30, 2115, 195};
constexpr Place kLabel1{375, 390, 795, 195};
constexpr Place kText1{1560, 345, 2220, 345};
constexpr Place kLabel2{615, 840, 375, 195};
constexpr Place kText2{1515, 825, 2250, 315};
constexpr Place kCommand1{945, 1260, 1200, 390};
constexpr Place kCommand2{2295, 1275, 1470, 360};

template <typename Control>
Control* place(Control* control, const char* name, const Place& p) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(hall::twipsRect(p.left, p.top, p.width, p.height));
    return control;
}

}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Form1"));
    setFont(hall::msSansSerif());
    setFixedSize(hall::twips(kClientWidth), hall::twips(kClientHeight));

    Label3 = place(new QLabel(QStringLiteral("Kontomat – nowe konto"), this), "Label3", kLabel3);
    Label1 = place(new QLabel(QStringLiteral("użytkownik"), this), "Label1", kLabel1);
    Text1 = place(new QLineEdit(this), "Text1", kText1);
    Label2 = place(new QLabel(QStringLiteral("haslo"), this), "Label2", kLabel2);
    Text2 = place(new QLineEdit(this), "Text2", kText2);
    Command1 = place(hall::makeButton(QStringLiteral("Generuj"), this), "Command1", kCommand1);
    Command2 = place(hall::makeButton(QStringLiteral("Anuluj"), this), "Command2", kCommand2);

    Text1->setAccessibleName(QStringLiteral("użytkownik"));
    Text2->setAccessibleName(QStringLiteral("hasło"));
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command1);
    setTabOrder(Command1, Command2);
    Text1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Form1::generate);
    connect(Command2, &QPushButton::clicked, this, &Form1::finished);
}

void Form1::refuse(const QString& message) { hall::showMessage(this, message); }

void Form1::generate() {
    const QString password = Text2->text();
    const QString userName = Text1->text();
    if (!hall::IsValidAccountName(QFile::encodeName(userName).toStdString())) {
        refuse(QStringLiteral("nieprawidłowa nazwa użytkownika"));
        return;
    }
    const std::filesystem::path accountFile(userName.toStdU16String());
    if (hall::AccountFileExists(accountFile)) {
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
    if (!hall::WriteAccountFile(accountFile, *scrambled)) {
        refuse(QStringLiteral("nie można utworzyć pliku konta"));
        return;
    }
    emit finished();
}

}  // namespace kontomat
