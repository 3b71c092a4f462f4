// vuzo: the configurator of the hall's lighting.
#include "artwork.h"
#include "display_check.h"
#include "main_window.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    if (!hall::checkDisplay(argc, argv)) return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vuzo"));
    QApplication::setStyle(QStringLiteral("Fusion"));  // honours the lamp colours everywhere
    QApplication::setWindowIcon(hall::programIcon());
    return startConfigurator(app, [] {
        auto* window = new MainWindow;
        window->setAttribute(Qt::WA_DeleteOnClose);
        return window;
    });
}
