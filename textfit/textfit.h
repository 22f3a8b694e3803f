#pragma once

#include <QStringList>

class QWidget;

namespace textfit {

// The texts that `top` and its visible children cut, as `objectName "text"`: a label, button or
// combo box whose text needs more room than the widget gives it. The port list is left out: it
// shows whatever name the machine gave the port.
QStringList cutTexts(const QWidget &top);

} // namespace textfit
