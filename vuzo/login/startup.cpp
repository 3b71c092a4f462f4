#include "startup.h"

#include "login_window.h"
#include "single_instance.h"

#include <QApplication>
#include <QWidget>

namespace {

void bringToFront(QWidget* window) {
    if (!window) return;
    if (window->isMinimized()) window->showNormal();
    window->raise();
    window->activateWindow();
}

}  // namespace

int startConfigurator(QApplication& app, const std::function<QWidget*()>& createMainWindow) {
    SingleInstance instance(SingleInstance::currentKey());
    if (!instance.claim()) return 0;

    LoginWindow login(createMainWindow);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &login, [&login] {
        bringToFront(login.isVisible() ? &login : login.mainWindow());
        // A message waiting for its OK stays on top of its window.
        bringToFront(QApplication::activeModalWidget());
    });
    login.show();
    return app.exec();
}
