#pragma once

#include <QString>

class MainWindow;

namespace tmx9demo {

// Puts `path` into the window's port list beside the machine's ports and selects it. The item is
// put back after every Refresh SerialPort, which rebuilds the list from the machine's ports only.
void offerSimulatedPort(MainWindow &window, const QString &path);

} // namespace tmx9demo
