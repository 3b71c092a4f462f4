#pragma once

#include <QWidget>

// The about window: the program's name, version and the vendor's logo.
// "Ok" hides it; a click on the logo opens the vendor's web page.
class AboutWindow : public QWidget {
    Q_OBJECT

public:
    explicit AboutWindow(QWidget* parent = nullptr);

signals:
    void vendorPageRequested();
};
