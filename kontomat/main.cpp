// kontomat: creates one account of the configurator in the working directory.
#include "artwork.h"
#include "form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kontomat"));
    QApplication::setWindowIcon(hall::programIcon());
    kontomat::Form1 window;
    QObject::connect(&window, &kontomat::Form1::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    window.show();
    return app.exec();
}
