#include <QComboBox>
#include <QDebug>
#include <QLineEdit>
#include <QMessageBox>
#include <QSerialPort>
#include <QTimer>

#include "displaytexts.h"
#include "frames.h"
#include "mainwindow.h"
#include "receiver.h"
#include "registers.h"
#include "ui_mainwindow.h"

void MainWindow::on_open_port_2_clicked()
{
    readOk = false;
    readTimer->stop();
    readTimer->start(tmx9::kReadTimeoutMs);
    serialLine.send(tmx9::readRequest());
}

void MainWindow::Read_Date()
{
    // Handling a line may open a modal box, and a nested run may then consume further lines; the
    // engine looks for the next line from the buffer's current front, never from a saved position.
    serialLine.receive(rxBuffer, rxHead, [this](const QByteArray &line) { handleLine(line); });
}

void MainWindow::handleLine(const QByteArray &line)
{
    switch (tmx9::classify(line)) {
    case tmx9::LineKind::ChannelTable:
        showChannelTable(line);
        break;
    case tmx9::LineKind::Parameters:
        showParameters(line);
        break;
    case tmx9::LineKind::WriteAck:
        writeOk = true;
        break;
    case tmx9::LineKind::Dropped:
        break;
    }
}

void MainWindow::showParameters(const QByteArray &line)
{
    const int declared = tmx9::declaredLength(line);
    qDebug() << "size" << line.size() << "    " << declared;
    const auto report = tmx9::decodeParameters(line);
    if (!report) {
        qDebug() << "Packet too short for expected length:" << declared;
        return;
    }

    ui->lineEditAPP->setText(report->firmware);
    ui->lineEditSN->setText(report->serialNumber);
    // Modulation before air baud rate: its rule may move the air baud rate, which the radio's
    // value then overrides.
    using tmx9::Field;
    showSettings(tmx9::reportedSettings(*report),
                 {Field::Channel, Field::Repeater, Field::Power, Field::WorkMode, Field::SerialBaud,
                  Field::Modulation, Field::Protocol, Field::AirBaud});
}

void MainWindow::showChannelTable(const QByteArray &line)
{
    tmx9::settle(rxBuffer, rxHead); // the box below runs the event loop
    tmx9::RadioSettings table;
    table.frequencies = tmx9::decodeChannelTable(line).mid(0, tmx9::kChannelCount);
    showSettings(table, {});
    readTimer->stop();
    readOk = true;
    showInformation(displaytexts::pick(englishMode, "Read completed", "读取完成"));
}

void MainWindow::onTimeout()
{
    readTimer->stop();
    if (readOk) {
        qDebug() << "数据接收成功，无需弹窗。";
        readOk = false;
        return;
    }
    showInformation(displaytexts::pick(englishMode, "Read failed", "读取失败"));
    readOk = false;
}

void MainWindow::on_open_port_5_clicked()
{
    serialLine.send(tmx9::kLogRadioInfo);
}

void MainWindow::showInformation(const QString &text)
{
    QMessageBox::information(this, QStringLiteral("information"), text, QMessageBox::Ok,
                             QMessageBox::NoButton);
}
