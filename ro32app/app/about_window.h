// The about window: the logo, the product name, the version line and an OK
// button, in a small modal dialog on the main window.
#pragma once

#include <QString>

#include <memory>

class QDialog;
class QWidget;

namespace orvelan::app {

// The program's version, "1.5.1" (major, minor, patch); the settings
// file's "version" 10501 carries the same.
QString versionString();

// The dialog, built and not shown; the window's about() runs it.
std::unique_ptr<QDialog> makeAboutWindow(QWidget* parent);

// Shows the about window modally and returns when it is closed.
void showAboutWindow(QWidget* parent);

}  // namespace orvelan::app
