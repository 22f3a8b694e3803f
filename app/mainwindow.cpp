#include "mainwindow.h"

#include <QComboBox>
#include <QDoubleValidator>
#include <QLineEdit>
#include <QTimer>

#include "registers.h"
#include "ui_mainwindow.h"

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_QuitOnClose, true);

    resize(600, 500);
    setMinimumSize(600, 500);
    setMaximumSize(1000, 800);
    setWindowTitle(QStringLiteral("TMX9_Config_V0.0.2_20240325"));

    // No radio command before a port is open.
    ui->open_port_2->setEnabled(false);
    ui->open_port_3->setEnabled(false);
    ui->open_port_4->setEnabled(false);

    auto *channelValidator = new QDoubleValidator(200, 500, 4, this);
    channelValidator->setNotation(QDoubleValidator::StandardNotation);
    for (QLineEdit *edit : channelEdits()) {
        if (edit)
            edit->setValidator(channelValidator);
    }

    readTimer = new QTimer(this);
    // A coarse timer may fire up to 5% early and fail a read whose answer is still on its way.
    readTimer->setTimerType(Qt::PreciseTimer);
    connect(readTimer, &QTimer::timeout, this, &MainWindow::onTimeout);
    // A device that vanishes (a pulled cable, a closed pseudo-terminal) leaves the port readable
    // for ever, each read failing at once: the event loop would spin. Release the device then,
    // but change nothing the user sees: the window does not notice a removed device, and the
    // close click works as usual.
    connect(&serialLine, &serialports::SerialEngine::lost, this, &MainWindow::releaseLostPort);

    refreshPortList();
}

// The port is deliberately left as it is: it belongs to the process, not to the window.
MainWindow::~MainWindow()
{
    delete ui;
}

QVector<QLineEdit *> MainWindow::channelEdits() const
{
    QVector<QLineEdit *> edits;
    for (int n = 1; n <= tmx9::kChannelCount; ++n)
        edits << findChild<QLineEdit *>(QStringLiteral("lineEdit%1").arg(n));
    return edits;
}

QComboBox *MainWindow::comboFor(tmx9::Field field) const
{
    switch (field) {
    case tmx9::Field::Modulation:
        return ui->com_2;
    case tmx9::Field::Protocol:
        return ui->com_3;
    case tmx9::Field::Power:
        return ui->com_4;
    case tmx9::Field::Channel:
        return ui->com_5;
    case tmx9::Field::AirBaud:
    case tmx9::Field::FskAirBaud:
        return ui->com_6;
    case tmx9::Field::SerialBaud:
        return ui->com_7;
    case tmx9::Field::Repeater:
        return ui->com_8;
    case tmx9::Field::WorkMode:
        break;
    }
    return ui->com_9;
}

tmx9::RadioSettings MainWindow::formSettings() const
{
    using tmx9::Field;
    tmx9::RadioSettings settings;
    for (const Field field : {Field::Modulation, Field::Protocol, Field::Power, Field::Channel,
                              Field::AirBaud, Field::SerialBaud, Field::Repeater, Field::WorkMode})
        settings.*tmx9::settingOf(field) = comboFor(field)->currentText();
    for (const QLineEdit *edit : channelEdits()) {
        if (edit)
            settings.frequencies << edit->text();
    }
    return settings;
}

void MainWindow::showSettings(const tmx9::RadioSettings &settings,
                              std::initializer_list<tmx9::Field> order)
{
    for (const tmx9::Field field : order) {
        const QString &text = settings.*tmx9::settingOf(field);
        if (!text.isNull()) // unknown: the combo keeps its value
            comboFor(field)->setCurrentText(text);
    }
    const QVector<QLineEdit *> edits = channelEdits();
    for (int i = 0; i < settings.frequencies.size() && i < edits.size(); ++i) {
        if (edits.at(i))
            edits.at(i)->setText(settings.frequencies.at(i));
    }
}
