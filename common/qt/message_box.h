#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>

class QWidget;

namespace hall {

// A modal message with an OK button only, titled with the application's name.
// Every message of the programs goes through here.
void showMessage(QWidget* parent, const QString& text);

// A file as a message names it: the path the program opens it by.
QString fileNameInMessage(const std::filesystem::path& file);

// "Nie udało się odczytać pliku: a" for one file, "… plików: a, b" for more;
// the same with "zapisać" for files that could not be written.
QString unreadFilesMessage(const QStringList& files);
QString unwrittenFilesMessage(const QStringList& files);

}  // namespace hall
