// vuzo: the configurator of the hall's lighting.
#include "artwork.h"
#include "form1.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vuzo"));
    QApplication::setStyle(QStringLiteral("Fusion"));  // honours the lamp colours everywhere
    QApplication::setWindowIcon(hall::programIcon());
    return startConfigurator(app, [] {
        auto* window = new Form1;
        window->setAttribute(Qt::WA_DeleteOnClose);
        return window;
    });
}
