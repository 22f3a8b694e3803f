#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <memory>

#include "mainwindow.h"
#include "measure.h"

// Builds a window whose port list holds only what the test offers (never a real port of the
// machine), and drives it through its own widgets.
class WindowDriver
{
public:
    // `candidates` are the system locations the window's port listing sees.
    explicit WindowDriver(const QStringList &candidates = {});
    ~WindowDriver(); // closes the port first: the port object outlives the window

    MainWindow &window() { return *win; }
    QComboBox *combo(const char *name) const;
    QLineEdit *edit(const char *name) const;
    QLineEdit *channelEdit(int n) const; // lineEdit1 .. lineEdit10
    QPushButton *button(const char *name) const;

    // Adds `path` to the port list, selects it and the baud rate, clicks open_port.
    void openPort(const QString &path, const QString &baud = QStringLiteral("115200"));
    void click(const char *buttonName);
    void closePortIfOpen();

    // Invokes a private slot by name, as a signal would.
    void invoke(const char *slot);
    void sleep(int msec);

private:
    std::unique_ptr<MainWindow> win;
};

// The benchmarks' clocks: CPU time (ms) and peak resident memory (KiB) of this process.
using bench::peakRssKb;
using bench::processCpuMs;

// AddressSanitizer holds freed memory back: memory figures mean nothing under it.
#if defined(__SANITIZE_ADDRESS__)
#define TMX9_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TMX9_ADDRESS_SANITIZER 1
#endif
#endif
