#include "login.h"

#include "account_file.h"
#include "controls.h"
#include "fonts.h"
#include "message_box.h"
#include "twips.h"
#include "windows1250.h"

#include <QApplication>
#include <QFile>
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

enum Control { kLabel1, kText1, kLabel2, kText2, kCommand1, kCommand2 };

struct Place {
    const char* name;
    int left, top, width, height;
};
constexpr std::array<Place, 6> kPlaces = {{
    {"Label1", 420, 225, 795, 195},
    {"Text1", 1350, 105, 2805, 360},
    {"Label2", 780, 630, 405, 195},
    {"Text2", 1350, 570, 2790, 375},
    {"Command1", 690, 1050, 1275, 375},
    {"Command2", 2265, 1035, 1320, 390},
}};

template <typename Widget>
Widget* place(Widget* widget, Control control) {
    const Place& p = kPlaces[control];
    widget->setObjectName(QLatin1String(p.name));
    widget->setGeometry(hall::twipsRect(p.left, p.top, p.width, p.height));
    return widget;
}

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

Login::Login(std::function<QWidget*()> createMainWindow, QWidget* parent)
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
    // The window system puts its frame around the centred client area.
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen()->availableGeometry()));

    connect(Text2, &QLineEdit::returnPressed, this, &Login::check);
    connect(Command1, &QPushButton::clicked, this, &Login::check);
    connect(Command2, &QPushButton::clicked, qApp, &QCoreApplication::quit);
}

void Login::createControls() {
    Label1 = place(new QLabel(QStringLiteral("użytkownik"), this), kLabel1);
    Text1 = place(new QLineEdit(this), kText1);
    Label2 = place(new QLabel(QStringLiteral("hasło"), this), kLabel2);
    Text2 = place(new QLineEdit(this), kText2);
    Command1 = place(hall::makeButton(QStringLiteral("ok"), this), kCommand1);
    Command2 = place(hall::makeButton(QStringLiteral("anuluj"), this), kCommand2);

    Text1->setAccessibleName(QStringLiteral("użytkownik"));
    Text2->setAccessibleName(QStringLiteral("hasło"));
    Text2->setEchoMode(QLineEdit::Password);
    auto* hashes = new HashPasswordStyle;
    hashes->setParent(Text2);
    Text2->setStyle(hashes);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command1);
    setTabOrder(Command1, Command2);
    Text1->setFocus();
}

void Login::check() {
    switch (verdict()) {
        case Verdict::UnknownUser: hall::showMessage(this, kUnknownUser); break;
        case Verdict::WrongPassword: askAgainForPassword(); break;
        case Verdict::Accepted: openMainWindow(); break;
    }
}

Login::Verdict Login::verdict() const {
    // A name that could reach outside the working directory or one of the
    // configurator's own files is nobody's account: their content is known.
    const QString userName = Text1->text();
    if (!hall::IsValidAccountName(QFile::encodeName(userName).toStdString())) return Verdict::UnknownUser;
    const std::optional<std::string> stored = hall::ReadAccountFile(std::filesystem::path(userName.toStdU16String()));
    if (!stored) return Verdict::UnknownUser;

    // Characters past the compared positions play no part, whatever they are.
    const std::optional<std::string> codes = hall::toWindows1250(Text2->text().left(hall::kPasswordPositions));
    const std::optional<std::string> scrambled = codes ? hall::ScramblePassword(*codes) : std::nullopt;
    if (!scrambled) return Verdict::UnknownUser;
    return *scrambled == *stored ? Verdict::Accepted : Verdict::WrongPassword;
}

void Login::openMainWindow() {
    if (!mainWindow_) mainWindow_ = createMainWindow_();
    // Shown before this window closes, so the program never has no window.
    mainWindow_->show();
    close();
}

void Login::askAgainForPassword() {
    hall::showMessage(this, kWrongPassword);
    // The next typing replaces the whole password.
    activateWindow();
    Text2->setFocus();
    Text2->selectAll();
}
