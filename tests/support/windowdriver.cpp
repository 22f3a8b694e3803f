#include "windowdriver.h"

#include <QEventLoop>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTest>
#include <QTimer>

#include "portlist.h"
#include "registers.h"

namespace {

const char *const kCombos[] = {"com_2", "com_3", "com_4", "com_5",
                               "com_6", "com_7", "com_8", "com_9"};

} // namespace

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

QStringList WindowDriver::formValues() const
{
    QStringList values;
    for (const char *name : kCombos)
        values << combo(name)->currentText();
    values << edit("lineEditSN")->text() << edit("lineEditAPP")->text();
    for (int n = 1; n <= tmx9::kChannelCount; ++n)
        values << channelEdit(n)->text();
    return values;
}

void WindowDriver::fillRandomly(QRandomGenerator &random)
{
    for (const char *name : kCombos) {
        QComboBox *box = combo(name);
        if (box->isEnabled())
            box->setCurrentIndex(random.bounded(box->count()));
    }
    for (int n = 1; n <= tmx9::kChannelCount; ++n)
        channelEdit(n)->setText(randomFrequency(random));
}

QStringList formValuesOf(const tmx9::RadioSettings &s, const QString &serialNumber,
                         const QString &firmwareVersion)
{
    return QStringList{s.modulation, s.protocol, s.power,    s.channel,    s.airBaud,
                       s.serialBaud, s.repeater, s.workMode, serialNumber, firmwareVersion} +
           s.frequencies;
}

QString randomFrequency(QRandomGenerator &random)
{
    const int units = 2000000 + random.bounded(3000001); // 200.0000 .. 500.0000 MHz
    return QString::number(units / 10000.0, 'f', 4);
}

void verifyPlanRun(const QVector<serialports::LineEvent> &events,
                   const tmx9::TransmissionPlan &plan)
{
    using serialports::LineEvent;
    using serialports::LineRecorder;
    const QVector<LineEvent> planned = LineRecorder::planned(plan);
    QVERIFY2(events == planned,
             qPrintable(QString("asked for:\n%1\nplanned:\n%2")
                            .arg(LineRecorder::describe(events), LineRecorder::describe(planned))));
    for (int i = 0; i < events.size(); ++i) {
        const LineEvent &event = events.at(i);
        if (event.kind != LineEvent::Kind::Waited)
            continue;
        QVERIFY2(
            event.unsentBytes == 0,
            qPrintable(
                QString("wait %1 began with %2 bytes not yet out").arg(i).arg(event.unsentBytes)));
        if (i + 1 < events.size()) {
            const double waitedMs = (events.at(i + 1).atNs - event.atNs) / 1e6;
            QVERIFY2(
                waitedMs >= event.ms,
                qPrintable(QString("wait %1: %2 ms of %3").arg(i).arg(waitedMs).arg(event.ms)));
        }
    }
}

PortTap::PortTap()
{
    connect(serialPort, &QSerialPort::readyRead, this,
            [this] { bytes += serialPort->peek(serialPort->bytesAvailable()); });
}

void PortTap::follow(const tmx9sim::SimRadio &followed)
{
    disconnect(following);
    radio = &followed;
    sentSinceFollow = 0;
    takenAtFollow = bytes.size();
    following = connect(radio, &tmx9sim::SimRadio::chunkSent, this,
                        [this](const QByteArray &chunk) { sentSinceFollow += chunk.size(); });
}

bool PortTap::caughtUp() const
{
    return radio && radio->unsentBytes() == 0 && bytes.size() - takenAtFollow >= sentSinceFollow;
}

double idleCpuMs(int ms)
{
    const double before = processCpuMs();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return processCpuMs() - before;
}
