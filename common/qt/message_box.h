#pragma once

#include <QString>

#include <filesystem>

class QWidget;

namespace hall {

// A modal message with an OK button only, titled with the application's name.
// Every message of the programs goes through here.
void showMessage(QWidget* parent, const QString& text);

// A file as a message names it: the path the program opens it by.
QString fileNameInMessage(const std::filesystem::path& file);

}  // namespace hall
