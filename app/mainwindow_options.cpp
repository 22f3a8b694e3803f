#include <QComboBox>

#include "codes.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

// Two rules keep modulation, air baud rate and work mode consistent: FSK goes with the air baud
// rates 9600 and 19200, LORA with the others, and the work mode is chosen only under LORA. Each
// rule may trigger the other once; the second finds its combo already showing the right text.

using tmx9::isFskAirBaud;

void MainWindow::on_com_2_currentTextChanged(const QString &arg1)
{
    if (arg1 == QLatin1String("LORA")) {
        ui->com_9->setEnabled(true);
        if (isFskAirBaud(ui->com_6->currentText()))
            ui->com_6->setCurrentText(QStringLiteral("11000"));
    } else if (arg1 == QLatin1String("FSK")) {
        ui->com_9->setEnabled(false); // keeps its selection
        if (!isFskAirBaud(ui->com_6->currentText()))
            ui->com_6->setCurrentText(QStringLiteral("9600"));
    }
}

void MainWindow::on_com_6_currentTextChanged(const QString &arg1)
{
    ui->com_2->setCurrentText(isFskAirBaud(arg1) ? QStringLiteral("FSK") : QStringLiteral("LORA"));
}
