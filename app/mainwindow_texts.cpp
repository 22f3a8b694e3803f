#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "displaytexts.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

namespace {

struct Caption
{
    const char *english;
    const char *chinese;
};

} // namespace

void MainWindow::on_checkBox_stateChanged(int arg1)
{
    // Only a full tick means English; the partial state counts as Chinese.
    englishMode = (arg1 == Qt::Checked);
    ui->open_port->setText(displaytexts::openPortButton(englishMode, portOpen == 1));

    // In the order the texts are written: buttons, parameter labels, then channel 0 to 9.
    const std::pair<QAbstractButton *, Caption> buttons[] = {
        {ui->refreshSerial, {"Refresh SerialPort", "刷新串口"}},
        {ui->open_port_2, {"Read Config", "读取配置"}},
        {ui->open_port_3, {"Write Config", "写入配置"}},
        {ui->open_port_4, {"Write default Configuration", "写入默认"}},
    };
    for (const auto &[button, caption] : buttons)
        button->setText(displaytexts::pick(englishMode, caption.english, caption.chinese));

    const std::pair<QLabel *, Caption> labels[] = {
        {ui->label_2, {"COM", "端口号"}},
        {ui->label_3, {"Baud Rate", "波特率"}},
        {ui->label_4, {"Modulation Type", "调制方式"}},
        {ui->label_5, {"Protocol", "协议类型"}},
        {ui->label_6, {"Power", "功率"}},
        {ui->label_7, {"Channel", "当前信道"}},
        {ui->label_8, {"Air BaudRate", "空中波特率"}},
        {ui->label_9, {"SerialPort BaudRate", "串口波特率"}},
        {ui->label_10, {"SN", "SN号"}},
        {ui->label_11, {"Firmware Version", "固件版本"}},
        {ui->label_22, {"Repeater", "中继"}},
        {ui->label_23,
         {"Firmware versions 1.1.8 and later support FSK modulation and work mode in half duplex "
          "mode",
          "固件版本1.1.8及之后支持FSK调制,工作模式为半双工"}},
        {ui->label_24,
         {"Firmware version 1.1.9 and later LORA supports 6000,3500bps",
          "固件版本1.1.9及之后LORA支持6000,3500bps"}},
        {ui->label_25, {"Work Mode", "工作模式"}},
        {ui->label_13, {"0 Channel", "0信道"}},
        {ui->label_12, {"1 Channel", "1信道"}},
        {ui->label_15, {"2 Channel", "2信道"}},
        {ui->label_14, {"3 Channel", "3信道"}},
        {ui->label_18, {"4 Channel", "4信道"}},
        {ui->label_16, {"5 Channel", "5信道"}},
        {ui->label_19, {"6 Channel", "6信道"}},
        {ui->label_17, {"7 Channel", "7信道"}},
        {ui->label_20, {"8 Channel", "8信道"}},
        {ui->label_21, {"9 Channel", "9信道"}},
    };
    for (const auto &[label, caption] : labels)
        label->setText(displaytexts::pick(englishMode, caption.english, caption.chinese));
}
