// Port listing, opening and closing through a real pseudo-terminal, and the wait.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTest>
#include <QTimer>

#include "messageboxwatcher.h"
#include "ptypeer.h"
#include "windowdriver.h"

namespace {

// Exposes the receiver count of the port's readyRead.
struct PortSpy : QSerialPort
{
    // Through a member pointer: the port is a QSerialPort, not a PortSpy.
    static int readyReadReceivers(const QSerialPort *port)
    {
        return (port->*(&PortSpy::receivers))(SIGNAL(readyRead()));
    }
};

void verifyControls(WindowDriver &driver, bool open)
{
    QCOMPARE(driver.combo("com")->isEnabled(), !open);
    QCOMPARE(driver.combo("baud")->isEnabled(), !open);
    QCOMPARE(driver.button("refreshSerial")->isEnabled(), !open);
    QVERIFY(driver.button("open_port")->isEnabled());
    for (const char *name : {"open_port_2", "open_port_3", "open_port_4"})
        QCOMPARE(driver.button(name)->isEnabled(), open);
}

} // namespace

class SerialPortTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(!QApplication::activeModalWidget()); }

    void openSendsReadRequestAfterAWait()
    {
        PtyPeer radio;
        QVERIFY(radio.isOpen());
        WindowDriver driver;
        MessageBoxWatcher boxes;
        QElapsedTimer sinceClick;
        sinceClick.start();
        const qint64 clickAt = radio.clock().nsecsElapsed();
        driver.openPort(radio.slavePath(), QStringLiteral("9600"));

        QVERIFY(radio.waitForBytes(9));
        QCOMPARE(radio.received(), QByteArray("$$RI\x1B\x00\x00\r\n", 9));
        const double delayMs = (radio.arrivalOfByte(0) - clickAt) / 1e6;
        QVERIFY2(delayMs >= 95 && delayMs < 400, qPrintable(QString::number(delayMs)));
        QTest::qWait(50);
        QCOMPARE(radio.received().size(), 9); // once, and nothing else

        const PtyPeer::LineSettings line = radio.lineSettings();
        QCOMPARE(line.inputBaud, 9600);
        QCOMPARE(line.outputBaud, 9600);
        QCOMPARE(line.dataBits, 8);
        QVERIFY(!line.parity);
        QVERIFY(!line.twoStopBits);
        QVERIFY(!line.hardwareFlow);
        QVERIFY(!line.softwareFlow);

        verifyControls(driver, true);
        QCOMPARE(driver.button("open_port")->text(), QStringLiteral("关闭串口"));
        auto *timer = driver.window().findChild<QTimer *>();
        QVERIFY(timer);
        QVERIFY(!timer->isActive()); // opening arms no read time-out
        QCOMPARE(boxes.count(), 0);

        driver.click("open_port");
        QVERIFY(!serialPort->isOpen());
        verifyControls(driver, false);
        QCOMPARE(driver.button("open_port")->text(), QStringLiteral("打开串口"));
        QCOMPARE(boxes.count(), 0);
    }

    void openAndCloseTextsFollowLanguage()
    {
        PtyPeer radio;
        WindowDriver driver;
        driver.window().findChild<QCheckBox *>("checkBox")->setChecked(true);
        driver.openPort(radio.slavePath());
        QCOMPARE(driver.button("open_port")->text(), QStringLiteral("Close SerialPort"));
        driver.click("open_port");
        QCOMPARE(driver.button("open_port")->text(), QStringLiteral("Open SerialPort"));
        driver.window().findChild<QCheckBox *>("checkBox")->setChecked(false);
    }

    void readyReadConnectedOnce()
    {
        PtyPeer radio;
        WindowDriver driver;
        for (int round = 0; round < 3; ++round) {
            driver.openPort(radio.slavePath());
            QCOMPARE(PortSpy::readyReadReceivers(serialPort), 1);
            driver.click("open_port");
        }
    }

    void failedOpenWithEmptyList()
    {
        WindowDriver driver;
        MessageBoxWatcher boxes;
        driver.click("open_port");
        QVERIFY(boxes.waitForCount(1));
        const auto &box = boxes.last();
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.title, QStringLiteral("Erro"));
        QCOMPARE(box.text, QStringLiteral("Open the failure"));
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.parent, &driver.window());
        verifyControls(driver, false);
        QCOMPARE(driver.button("open_port")->text(), QStringLiteral("打开串口"));
    }

    void failedOpenRelistsWithoutDuplicates()
    {
        PtyPeer first, second;
        WindowDriver driver({first.slavePath(), second.slavePath()});
        QComboBox *com = driver.combo("com");
        QCOMPARE(com->count(), 2); // the names the opened port carries
        const QString firstName = com->itemText(0);
        QVERIFY(first.slavePath().endsWith(firstName));

        com->addItem(QStringLiteral("/nonexistent/tty"));
        com->setCurrentIndex(2);
        MessageBoxWatcher boxes;
        for (int attempt = 0; attempt < 2; ++attempt)
            driver.click("open_port");
        QVERIFY(boxes.waitForCount(2));
        QCOMPARE(com->count(), 3);
        QCOMPARE(com->currentIndex(), 2);
        QVERIFY(!serialPort->isOpen());
    }

    void refreshReplacesListAndConfirms()
    {
        PtyPeer radio;
        WindowDriver driver({radio.slavePath()});
        QComboBox *com = driver.combo("com");
        com->addItem(QStringLiteral("stale"));
        MessageBoxWatcher boxes;
        driver.click("refreshSerial");
        QVERIFY(boxes.waitForCount(1));
        QCOMPARE(com->count(), 1);
        QVERIFY(radio.slavePath().endsWith(com->itemText(0)));
        QCOMPARE(boxes.last().title, QStringLiteral("information"));
        QCOMPARE(boxes.last().text, QStringLiteral("OK"));
        QCOMPARE(boxes.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(!serialPort->isOpen()); // the trial open closes again

        // Nothing to offer: the confirmation comes all the same.
        radio.close();
        driver.click("refreshSerial");
        QVERIFY(boxes.waitForCount(2));
        QCOMPARE(com->count(), 0);
        QCOMPARE(boxes.last().text, QStringLiteral("OK"));
    }

    void openedPortCanBeReopened()
    {
        PtyPeer radio;
        WindowDriver driver;
        driver.openPort(radio.slavePath());
        QVERIFY(radio.waitForBytes(9));
        driver.click("open_port");
        radio.clearReceived();
        driver.openPort(radio.slavePath(), QStringLiteral("19200"));
        QVERIFY(radio.waitForBytes(9));
        QCOMPARE(radio.lineSettings().outputBaud, 19200);
    }

    void sleepWaitsAndServesEvents()
    {
        WindowDriver driver;
        int fired = 0;
        QTimer::singleShot(30, [&] { ++fired; });
        QTimer::singleShot(60, [&] { ++fired; });
        QElapsedTimer wall;
        wall.start();
        driver.sleep(150);
        const qint64 elapsed = wall.elapsed();
        QVERIFY2(elapsed >= 150, qPrintable(QString::number(elapsed)));
        QCOMPARE(fired, 2);

        wall.restart();
        driver.sleep(0);
        driver.sleep(-5);
        QVERIFY(wall.elapsed() < 50);

        // A nested wait inside a wait ends on its own deadline, and the outer one on its own.
        wall.restart();
        QTimer::singleShot(10, [&] { driver.sleep(50); });
        driver.sleep(100);
        QVERIFY(wall.elapsed() >= 100);

        // The wait blocks for events rather than spinning (a spinning wait costs its whole wall
        // time in CPU; the benchmark table has the figure).
        const double cpuBefore = processCpuMs();
        wall.restart();
        driver.sleep(500);
        const double cpu = processCpuMs() - cpuBefore;
        QVERIFY2(
            cpu < wall.elapsed() / 2.0,
            qPrintable(QString("sleep(500): %1 ms wall, %2 ms CPU").arg(wall.elapsed()).arg(cpu)));
    }
};

QTEST_MAIN(SerialPortTest)
#include "tst_serialport.moc"
