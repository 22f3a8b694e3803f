#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QStringList>
#include <memory>

#include "mainwindow.h"
#include "measure.h"

class QRandomGenerator;

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

    // The form as a list: the eight option combos (modulation first, work mode last), the serial
    // number, the firmware version, then the ten channels.
    QStringList formValues() const;
    // As a user would: every enabled combo a random item (the option rules then settle modulation
    // and work mode), every channel a random frequency.
    void fillRandomly(QRandomGenerator &random);

private:
    std::unique_ptr<MainWindow> win;
};

// What formValues() shows once the form holds these.
QStringList formValuesOf(const tmx9::RadioSettings &settings, const QString &serialNumber,
                         const QString &firmwareVersion);
// A four-decimal frequency from 200.0000 to 500.0000 MHz.
QString randomFrequency(QRandomGenerator &random);
// Arrival times (ms) of the lines of a transmission: each write but the last is followed by a
// 100 ms wait, so every gap is at least that, and the wait does not drag on.
void verifyGaps(const QList<double> &timesMs);
// CPU time of the process over `ms` of idling in a blocking event loop, as the program idles.
double idleCpuMs(int ms);

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
