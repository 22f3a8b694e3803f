#include <QComboBox>
#include <QLineEdit>

#include "mainwindow.h"
#include "plans.h"
#include "ui_mainwindow.h"

void MainWindow::on_open_port_4_clicked()
{
    // Modulation before air baud rate, so the option rules leave LORA, 11000 and an enabled work
    // mode whatever the form showed.
    const tmx9::RadioSettings defaults = tmx9::defaultSettings();
    ui->com_2->setCurrentText(defaults.modulation);
    ui->com_3->setCurrentText(defaults.protocol);
    ui->com_4->setCurrentText(defaults.power);
    ui->com_5->setCurrentText(defaults.channel);
    ui->com_6->setCurrentText(defaults.airBaud);
    ui->com_7->setCurrentText(defaults.serialBaud);
    ui->com_8->setCurrentText(defaults.repeater);
    ui->com_9->setCurrentText(defaults.workMode);
    QLineEdit *const edits[] = {ui->lineEdit1, ui->lineEdit2, ui->lineEdit3, ui->lineEdit4,
                                ui->lineEdit5, ui->lineEdit6, ui->lineEdit7, ui->lineEdit8,
                                ui->lineEdit9, ui->lineEdit10};
    for (int i = 0; i < 10; ++i)
        edits[i]->setText(defaults.frequencies.value(i));

    writeOk = false;
    runPlan(tmx9::writeDefaultPlan());
    showWriteVerdict();
}
