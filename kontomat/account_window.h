#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kontomat {

// The account tool's only window: a user name and a password, "Generuj"
// writes the account file into the working directory and ends the tool.
class AccountWindow : public QWidget {
    Q_OBJECT

public:
    explicit AccountWindow(QWidget* parent = nullptr);

signals:
    // The tool is done (account written, or "Anuluj"): the program ends.
    void finished();

private slots:
    void generate();

private:
    void refuse(const QString& message);

    QLabel* titleLabel;
    QLabel* userNameLabel;
    QLabel* passwordLabel;
    QLineEdit* userNameField;
    QLineEdit* passwordField;
    QPushButton* generateButton;
    QPushButton* cancelButton;
};

}  // namespace kontomat
