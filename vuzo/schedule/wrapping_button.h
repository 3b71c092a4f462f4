#pragma once

#include <QPushButton>

// A push button whose caption wraps onto further lines when it is wider
// than the button, as "Harmonogram szczególny" must on its narrow button.
class WrappingButton : public QPushButton {
    Q_OBJECT

public:
    WrappingButton(const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
