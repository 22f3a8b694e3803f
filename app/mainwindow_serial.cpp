#include <QComboBox>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSerialPort>
#include <QTimer>

#include "displaytexts.h"
#include "frames.h"
#include "mainwindow.h"
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
    // A refused setting is in the traffic log; the window carries on with the port it has.
    const auto opening = serialLine.open(ui->com->currentText(), ui->baud->currentText().toInt());
    if (opening.status == serialports::SerialEngine::Opening::Status::NotOpened) {
        sleep(100);
        refreshPortList();
        QMessageBox::information(this, tr("Erro"), tr("Open the failure"), QMessageBox::Ok,
                                 QMessageBox::NoButton);
        return;
    }

    portOpen = 1;
    sessionLog.portOpened(serialPort->portName(), serialPort->baudRate());
    // Whatever reached the port before we listened answers no request of this connection.
    serialLine.dropWaiting();
    connect(serialPort, &QSerialPort::readyRead, this, &MainWindow::Read_Date,
            Qt::UniqueConnection);

    ui->baud->setEnabled(false);
    ui->com->setEnabled(false);
    ui->refreshSerial->setEnabled(false);
    ui->open_port_2->setEnabled(true);
    ui->open_port_3->setEnabled(true);
    ui->open_port_4->setEnabled(true);
    ui->open_port->setText(displaytexts::openPortButton(englishMode, true));

    sleep(100);
    serialLine.send(tmx9::readRequest());
}

void MainWindow::releaseLostPort()
{
    // Deferred, because the port is still inside the call that failed; and done even when the
    // window has gone meanwhile, since a dead port would keep the event loop spinning.
    QTimer::singleShot(0, serialPort, [window = QPointer<MainWindow>(this)] {
        if (!serialPort->isOpen() || (window && !window->serialLine.isLost()))
            return;
        serialPort->close();
        if (window)
            window->sessionLog.deviceGone(serialPort->portName());
    });
}

void MainWindow::closePort()
{
    portOpen = 0;
    // Bytes left unterminated by this connection must not be glued to the next one's first line.
    serialLine.dropUnterminated(rxBuffer, rxHead);
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

void MainWindow::on_refreshSerial_clicked()
{
    ui->com->clear();
    refreshPortList();
    QMessageBox::information(this, QStringLiteral("information"), QStringLiteral("OK"),
                             QMessageBox::Ok, QMessageBox::NoButton);
}

void MainWindow::sleep(int msec)
{
    serialLine.pause(msec);
}
