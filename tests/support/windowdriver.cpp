#include "windowdriver.h"

#include <QSerialPort>
#include <QTest>

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
