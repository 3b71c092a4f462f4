#pragma once

#include <QFrame>

// The "Konfiguracja" page (Frame2): the switch-off delay.
class ConfigPage : public QFrame {
    Q_OBJECT

public:
    explicit ConfigPage(QWidget* parent = nullptr);
};
