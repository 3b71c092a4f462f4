#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// The login window: a user name and a password checked against the account
// file of that name in the working directory. A right password opens the
// main window, which `createMainWindow` builds, and closes the login window.
class LoginWindow : public QWidget {
    Q_OBJECT

public:
    explicit LoginWindow(std::function<QWidget*()> createMainWindow, QWidget* parent = nullptr);

    // The main window once a check has passed; null before.
    QWidget* mainWindow() const { return mainWindow_; }

private slots:
    void check();

private:
    enum class Verdict { UnknownUser, WrongPassword, Accepted };

    void createControls();
    Verdict verdict() const;
    void openMainWindow();
    void askAgainForPassword();

    std::function<QWidget*()> createMainWindow_;
    QPointer<QWidget> mainWindow_;

    QLabel* userNameLabel = nullptr;
    QLineEdit* userNameField = nullptr;
    QLabel* passwordLabel = nullptr;
    QLineEdit* passwordField = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
};
