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

}  // namespace hall
