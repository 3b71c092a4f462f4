#include "browser.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

void openHelpPage() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::current().absoluteFilePath(QStringLiteral("help.htm"))));
}

void openVendorPage() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kVendorAddress))); }
