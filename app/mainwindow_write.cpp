#include <QDebug>
#include <QLineEdit>
#include <QMessageBox>

#include "displaytexts.h"
#include "mainwindow.h"
#include "plans.h"

void MainWindow::on_open_port_3_clicked()
{
    const QVector<QLineEdit *> edits = channelEdits();
    for (int n = 1; n <= edits.size(); ++n) {
        QLineEdit *edit = edits.at(n - 1);
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
    }

    const tmx9::RadioSettings settings = formSettings();
    qDebug() << "Hex String:" << tmx9::parameterFrameHex(settings);

    // Only an acknowledgement of this write may count for its verdict.
    writeOk = false;
    serialLine.runPlan(tmx9::writeConfigPlan(settings));
    showWriteVerdict();
}

void MainWindow::on_open_port_4_clicked()
{
    // Modulation before air baud rate, so the option rules leave LORA, 11000 and an enabled work
    // mode whatever the form showed.
    using tmx9::Field;
    showSettings(tmx9::defaultSettings(),
                 {Field::Modulation, Field::Protocol, Field::Power, Field::Channel, Field::AirBaud,
                  Field::SerialBaud, Field::Repeater, Field::WorkMode});

    writeOk = false;
    serialLine.runPlan(tmx9::writeDefaultPlan());
    showWriteVerdict();
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
