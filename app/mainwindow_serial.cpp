#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSerialPort>
#include <QTimer>

#include "displaytexts.h"
#include "frames.h"
#include "mainwindow.h"
#include "portline.h"
#include "portlist.h"
#include "ui_mainwindow.h"

void MainWindow::refreshPortList()
{
    // After a failed open the list is appended to, not rebuilt: never list a port twice.
    for (const QString &name : serialports::openablePorts(*serialPort)) {
        if (ui->com->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            ui->com->addItem(name);
    }
}

void MainWindow::on_open_port_clicked()
{
    if (portOpen == 0)
        openPort();
    else
        closePort();
}

void MainWindow::openPort()
{
    serialPort->setPortName(ui->com->currentText());
    if (!serialPort->open(QIODevice::ReadWrite)) {
        sessionLog.portNotOpened(serialPort->portName(), serialPort->errorString());
        sleep(100);
        refreshPortList();
        QMessageBox::information(this, tr("Erro"), tr("Open the failure"), QMessageBox::Ok,
                                 QMessageBox::NoButton);
        return;
    }

    portOpen = 1;
    serialPort->setBaudRate(ui->baud->currentText().toInt(), QSerialPort::AllDirections);
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setStopBits(QSerialPort::OneStop);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setFlowControl(QSerialPort::NoFlowControl);
    sessionLog.portOpened(serialPort->portName(), serialPort->baudRate());

    // Bytes left unterminated by an earlier connection must not be glued to this one's first line.
    rxBuffer.clear();
    rxHead = 0;
    // Whatever reached the port before we listened answers no request of this connection: drop it.
    // The read also starts reception: on Windows the port reads only after a "data arrived" event
    // or a read by us, and Wine never reports that event for a pseudo-terminal.
    serialPort->clear(QSerialPort::Input);
    sessionLog.dropped(serialPort->readAll());
    connect(serialPort, &QSerialPort::readyRead, this, &MainWindow::Read_Date,
            Qt::UniqueConnection);
    // A device that vanishes (a pulled cable, a closed pseudo-terminal) leaves the port readable
    // for ever, each read failing at once: the event loop would spin. Release the device then, but
    // change nothing the user sees: the window does not notice a removed device, and the close
    // click works as usual. Deferred, because the port is still inside its read.
    disconnect(serialPort, &QSerialPort::errorOccurred, this, nullptr);
    connect(serialPort, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) {
                if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError ||
                    error == QSerialPort::UnknownError)
                    QTimer::singleShot(0, serialPort, [window = QPointer<MainWindow>(this)] {
                        if (serialports::deviceHungUp(*serialPort)) {
                            serialPort->close();
                            if (window)
                                window->sessionLog.deviceGone(serialPort->portName());
                        }
                    });
            });

    ui->baud->setEnabled(false);
    ui->com->setEnabled(false);
    ui->refreshSerial->setEnabled(false);
    ui->open_port_2->setEnabled(true);
    ui->open_port_3->setEnabled(true);
    ui->open_port_4->setEnabled(true);
    ui->open_port->setText(displaytexts::openPortButton(englishMode, true));

    sleep(100);
    send(tmx9::readRequest());
}

void MainWindow::closePort()
{
    portOpen = 0;
    if (serialPort->isOpen()) { // not when a vanished device was released already
        serialPort->clear(QSerialPort::AllDirections);
        serialPort->close();
        sessionLog.portClosed(serialPort->portName());
    }

    ui->refreshSerial->setEnabled(true);
    ui->baud->setEnabled(true);
    ui->com->setEnabled(true);
    ui->open_port_2->setEnabled(false);
    ui->open_port_3->setEnabled(false);
    ui->open_port_4->setEnabled(false);
    ui->open_port->setText(displaytexts::openPortButton(englishMode, false));
}

void MainWindow::send(const QByteArray &bytes)
{
    serialPort->write(bytes);
    sessionLog.sent(bytes);
}

void MainWindow::on_refreshSerial_clicked()
{
    ui->com->clear();
    refreshPortList();
    QMessageBox::information(this, QStringLiteral("information"), QStringLiteral("OK"),
                             QMessageBox::Ok, QMessageBox::NoButton);
}

void MainWindow::sleep(int msec)
{
    // A monotonic deadline: a wait across midnight, or a clock change, lasts its full time.
    const QDeadlineTimer deadline(qMax(msec, 0), Qt::PreciseTimer);
    // Block for the next event instead of spinning; the timer guarantees one at the deadline.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        const qint64 leftNs = deadline.remainingTimeNSecs();
        wake.start(int((leftNs + 999999) / 1000000));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}
