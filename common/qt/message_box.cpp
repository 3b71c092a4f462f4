#include "message_box.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace hall {

void showMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("message"));
    box.exec();
}

QString fileNameInMessage(const std::filesystem::path& file) { return QString::fromStdString(file.generic_string()); }

namespace {

QString filesMessage(const QString& failed, const QStringList& files) {
    const QString noun = files.size() == 1 ? QStringLiteral(" pliku: ") : QStringLiteral(" plików: ");
    return QStringLiteral("Nie udało się ") + failed + noun + files.join(QStringLiteral(", "));
}

}  // namespace

QString unreadFilesMessage(const QStringList& files) { return filesMessage(QStringLiteral("odczytać"), files); }

QString unwrittenFilesMessage(const QStringList& files) { return filesMessage(QStringLiteral("zapisać"), files); }

}  // namespace hall
