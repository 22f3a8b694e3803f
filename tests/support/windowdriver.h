#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QStringList>
#include <memory>

#include "linerecorder.h"
#include "mainwindow.h"
#include "measure.h"
#include "simradio.h"

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
// What a line was asked to do against a plan: the same bytes and waits in the same order, no wait
// begun before the bytes sent had left the computer, and each wait at least as long as asked,
// measured at the sender (a slow machine only makes the waits longer).
void verifyPlanRun(const QVector<serialports::LineEvent> &events,
                   const tmx9::TransmissionPlan &plan);

// What the window takes from its port, seen just before its reader reads it. Made before the
// port is opened, it comes before the window's reader, which is connected then. A byte on the line
// may be out of the system's sight for a moment (a pseudo-terminal passes it on later): whether
// the window has taken what a radio sent is told here, not by asking the port.
class PortTap : public QObject
{
public:
    PortTap();
    const QByteArray &taken() const { return bytes; }

    // Counts, from now on, what `radio` puts on the line and what the window takes.
    void follow(const tmx9sim::SimRadio &radio);
    // The window has taken all that the followed radio put on the line since follow(), and the
    // radio holds nothing back: the line is quiet until something new is sent.
    bool caughtUp() const;

private:
    QByteArray bytes;
    const tmx9sim::SimRadio *radio = nullptr;
    QMetaObject::Connection following;
    qint64 sentSinceFollow = 0;
    qint64 takenAtFollow = 0;
};
// CPU time of the process over `ms` of idling in a blocking event loop, as the program idles.
double idleCpuMs(int ms);

// CPU time (ms) and peak resident memory (KiB) of this process, as the benchmarks measure them.
using measure::peakRssKb;
using measure::processCpuMs;

// AddressSanitizer holds freed memory back: memory figures mean nothing under it.
#if defined(__SANITIZE_ADDRESS__)
#define TMX9_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TMX9_ADDRESS_SANITIZER 1
#endif
#endif
