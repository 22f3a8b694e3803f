#include <QComboBox>
#include <QDebug>
#include <QLineEdit>
#include <QMessageBox>
#include <QSerialPort>

#include "codes.h"
#include "displaytexts.h"
#include "mainwindow.h"
#include "plans.h"
#include "ui_mainwindow.h"

void MainWindow::on_open_port_3_clicked()
{
    tmx9::RadioSettings settings;
    for (int n = 1; n <= 10; ++n) {
        auto *edit = findChild<QLineEdit *>(QStringLiteral("lineEdit%1").arg(n));
        if (!edit)
            continue;
        const auto frequency = tmx9::normalizeFrequency(edit->text());
        if (!frequency) {
            QMessageBox::warning(this, QStringLiteral("Invalid Input"),
                                 QStringLiteral("lineEdit%1: Frequency must be between "
                                                "200.0000-500.0000 with 4 decimal places.")
                                     .arg(n),
                                 QMessageBox::Ok, QMessageBox::NoButton);
            edit->clear();
            return;
        }
        edit->setText(*frequency);
        settings.frequencies << *frequency;
    }

    settings.modulation = ui->com_2->currentText();
    settings.protocol = ui->com_3->currentText();
    settings.power = ui->com_4->currentText();
    settings.channel = ui->com_5->currentText();
    settings.airBaud = ui->com_6->currentText();
    settings.serialBaud = ui->com_7->currentText();
    settings.repeater = ui->com_8->currentText();
    settings.workMode = ui->com_9->currentText();

    qDebug() << "Hex String:" << tmx9::parameterFrameHex(settings);

    // Only an acknowledgement of this write may count for its verdict.
    writeOk = false;
    runPlan(tmx9::writeConfigPlan(settings));
    showWriteVerdict();
}

void MainWindow::runPlan(const tmx9::TransmissionPlan &plan)
{
    for (const tmx9::PlanStep &step : plan) {
        if (!step.bytes.isEmpty()) {
            serialPort->write(step.bytes);
            // Hand the bytes to the system now: they leave on time, and the last command is not
            // left in the port's buffer, where closing the port would discard it.
            serialPort->flush();
        }
        if (step.waitMs > 0)
            sleep(step.waitMs);
    }
}

void MainWindow::showWriteVerdict()
{
    if (writeOk) {
        writeOk = false;
        showInformation(displaytexts::pick(englishMode, "Write completed", "写入完成"));
    } else {
        showInformation(displaytexts::pick(englishMode, "Write failed", "写入失败"));
    }
}
