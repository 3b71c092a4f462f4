#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kontomat {

// The account tool's only window: a user name and a password, "Generuj"
// writes the account file into the working directory and ends the tool.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);

signals:
    // The tool is done (account written, or "Anuluj"): the program ends.
    void finished();

private slots:
    void generate();

private:
    void refuse(const QString& message);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QPushButton* Command1;
    QPushButton* Command2;
};

}  // namespace kontomat
