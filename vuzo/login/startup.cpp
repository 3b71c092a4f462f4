#include "startup.h"

#include <QApplication>
#include <QWidget>

int startConfigurator(QApplication& app, const std::function<QWidget*()>& createMainWindow) {
    QWidget* window = createMainWindow();
    window->show();
    return app.exec();
}
