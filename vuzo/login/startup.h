#pragma once

#include <functional>

class QApplication;
class QWidget;

// How vuzo starts: shows the main window that `createMainWindow` builds.
int startConfigurator(QApplication& app, const std::function<QWidget*()>& createMainWindow);
