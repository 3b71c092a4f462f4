// kontomat: creates one account of the configurator in the working directory.
#include "artwork.h"
#include "account_window.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kontomat"));
    QApplication::setWindowIcon(hall::programIcon());
    kontomat::AccountWindow window;
    QObject::connect(&window, &kontomat::AccountWindow::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    window.show();
    return app.exec();
}
