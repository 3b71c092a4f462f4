// kontomat: creates one account of the configurator in the working directory.
#include "account_window.h"
#include "artwork.h"
#include "display_check.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    if (!hall::checkDisplay(argc, argv)) return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kontomat"));
    QApplication::setWindowIcon(hall::programIcon());
    kontomat::AccountWindow window;
    QObject::connect(&window, &kontomat::AccountWindow::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    window.show();
    return app.exec();
}
