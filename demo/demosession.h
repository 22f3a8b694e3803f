#pragma once

#include "mainwindow.h"
#include "simradio.h"

#include <QString>
#include <memory>

class QIODevice;

namespace tmx9demo {

// The configurator's window with a simulated radio in the same process, its port offered in the
// window's port list. The radio answers from the event loop the window already runs.
class DemoSession
{
public:
    DemoSession();
    ~DemoSession();

    // `log` receives the radio's traffic log (not owned; null: none). The window is created after
    // the radio has its port and is not shown yet.
    bool start(QIODevice *log, QString *error);

    tmx9sim::SimRadio &radio() { return radio_; }
    MainWindow &window() { return *window_; }

private:
    tmx9sim::SimRadio radio_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace tmx9demo
