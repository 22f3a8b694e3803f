#include "windowdriver.h"

#include <QFile>
#include <QSerialPort>
#include <QTest>

#include <ctime>

#include "portlist.h"

WindowDriver::WindowDriver(const QStringList &candidates)
{
    serialports::setCandidateSource([candidates] { return candidates; });
    win = std::make_unique<MainWindow>();
    win->show();
}

WindowDriver::~WindowDriver()
{
    closePortIfOpen();
}

QComboBox *WindowDriver::combo(const char *name) const
{
    return win->findChild<QComboBox *>(QLatin1String(name));
}

QLineEdit *WindowDriver::edit(const char *name) const
{
    return win->findChild<QLineEdit *>(QLatin1String(name));
}

QLineEdit *WindowDriver::channelEdit(int n) const
{
    return win->findChild<QLineEdit *>(QStringLiteral("lineEdit%1").arg(n));
}

QPushButton *WindowDriver::button(const char *name) const
{
    return win->findChild<QPushButton *>(QLatin1String(name));
}

void WindowDriver::openPort(const QString &path, const QString &baud)
{
    QComboBox *com = combo("com");
    if (com->findText(path) < 0)
        com->addItem(path);
    com->setCurrentText(path);
    combo("baud")->setCurrentText(baud);
    click("open_port");
}

void WindowDriver::click(const char *buttonName)
{
    QTest::mouseClick(button(buttonName), Qt::LeftButton);
}

void WindowDriver::closePortIfOpen()
{
    if (win && serialPort->isOpen() && button("open_port")->isEnabled() &&
        !button("refreshSerial")->isEnabled())
        click("open_port");
    if (serialPort->isOpen())
        serialPort->close();
}

void WindowDriver::invoke(const char *slot)
{
    QMetaObject::invokeMethod(win.get(), slot, Qt::DirectConnection);
}

void WindowDriver::sleep(int msec)
{
    QMetaObject::invokeMethod(win.get(), "sleep", Qt::DirectConnection, Q_ARG(int, msec));
}

double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

qint64 peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}
