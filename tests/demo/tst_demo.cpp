// The demo's set-up: the simulated radio's port beside the machine's ports, selected, and every
// radio command of the window completing against it.
#include "demosession.h"
#include "messageboxwatcher.h"
#include "portlist.h"
#include "ptypeer.h"

#include <QBuffer>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTest>

using tmx9demo::DemoSession;

class TestDemo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void simulatedPortBesideMachinePorts();
    void simulatedPortSurvivesRefresh();
    void readWriteAndDefaultComplete();
    void logsTraffic();

private:
    void click(const char *name);
    QComboBox *com() { return session->window().findChild<QComboBox *>(QStringLiteral("com")); }
    // The window lists a port by its name ("pts/3"), not by its path.
    QString machinePortName() const
    {
        QSerialPort port;
        port.setPortName(machinePort->slavePath());
        return port.portName();
    }

    // Stands for a port of the machine; the real ports are never opened here.
    std::unique_ptr<PtyPeer> machinePort;
    std::unique_ptr<DemoSession> session;
    QBuffer log;
};

void TestDemo::init()
{
    machinePort = std::make_unique<PtyPeer>();
    QVERIFY(machinePort->isOpen());
    serialports::setCandidateSource(
        [path = machinePort->slavePath()] { return QStringList{path}; });
    log.setData(QByteArray());
    QVERIFY(log.open(QIODevice::WriteOnly));
    session = std::make_unique<DemoSession>();
    QString error;
    QVERIFY2(session->start(&log, &error), qPrintable(error));
    session->window().show();
}

void TestDemo::cleanup()
{
    QVERIFY(!QApplication::activeModalWidget());
    session.reset();
    machinePort.reset();
    log.close();
    englishMode = readOk = writeOk = false;
}

void TestDemo::click(const char *name)
{
    QTest::mouseClick(session->window().findChild<QPushButton *>(QLatin1String(name)),
                      Qt::LeftButton);
}

void TestDemo::simulatedPortBesideMachinePorts()
{
    const QString simulated = session->radio().slavePath();
    QCOMPARE(com()->count(), 2);
    QCOMPARE(com()->itemText(0), machinePortName());
    QCOMPARE(com()->itemText(1), simulated);
    QCOMPARE(com()->currentText(), simulated);
}

void TestDemo::simulatedPortSurvivesRefresh()
{
    MessageBoxWatcher boxes;
    click("refreshSerial");
    QVERIFY(boxes.waitForCount(1));
    QCOMPARE(boxes.last().text, QStringLiteral("OK"));
    QTRY_COMPARE(com()->count(), 2);
    QCOMPARE(com()->itemText(0), machinePortName());
    QCOMPARE(com()->currentText(), session->radio().slavePath());

    click("refreshSerial"); // a second refresh lists it once, not twice
    QVERIFY(boxes.waitForCount(2));
    QTRY_COMPARE(com()->count(), 2);
}

void TestDemo::readWriteAndDefaultComplete()
{
    MessageBoxWatcher boxes;
    tmx9sim::SimRadio &radio = session->radio();
    tmx9::RadioSettings start = tmx9::defaultSettings();
    start.channel = QStringLiteral("3");
    start.frequencies[2] = QStringLiteral("410.1250");
    QVERIFY(radio.setSettings(start));

    click("open_port"); // opening asks for the configuration as well
    QVERIFY(boxes.waitForCount(1));
    QCOMPARE(boxes.last().text, QStringLiteral("读取完成"));
    auto *channel3 = session->window().findChild<QLineEdit *>(QStringLiteral("lineEdit3"));
    QCOMPARE(channel3->text(), QStringLiteral("410.1250"));

    click("open_port_2");
    QVERIFY(boxes.waitForCount(2));
    QCOMPARE(boxes.last().text, QStringLiteral("读取完成"));
    QCOMPARE(radio.readRequests(), 2);

    channel3->setText(QStringLiteral("433.5000"));
    click("open_port_3");
    QVERIFY(boxes.waitForCount(3, 10000));
    QCOMPARE(boxes.last().text, QStringLiteral("写入完成"));
    QCOMPARE(radio.settings().frequencies.value(2), QStringLiteral("433.5000"));
    QCOMPARE(radio.settings().channel, QStringLiteral("3"));

    click("open_port_4");
    QVERIFY(boxes.waitForCount(4, 10000));
    QCOMPARE(boxes.last().text, QStringLiteral("写入完成"));
    const tmx9::RadioSettings defaults = tmx9::defaultSettings();
    QCOMPARE(radio.settings().frequencies, defaults.frequencies);
    QCOMPARE(radio.settings().channel, defaults.channel);
    QCOMPARE(channel3->text(), defaults.frequencies.value(2));

    click("open_port"); // close: the session must not leave the port on a vanished terminal
    QVERIFY(!serialPort->isOpen());
}

void TestDemo::logsTraffic()
{
    MessageBoxWatcher boxes;
    click("open_port");
    QVERIFY(boxes.waitForCount(1));
    const QString text = QString::fromUtf8(log.data());
    QVERIFY2(text.contains(QStringLiteral("read request")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("parameter response N=69")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("channel table response")), qPrintable(text));
    click("open_port");
}

QTEST_MAIN(TestDemo)
#include "tst_demo.moc"
