#include "mainwindow.h"

#include <QDoubleValidator>
#include <QLineEdit>
#include <QTimer>

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
    for (QLineEdit *edit :
         {ui->lineEdit1, ui->lineEdit2, ui->lineEdit3, ui->lineEdit4, ui->lineEdit5, ui->lineEdit6,
          ui->lineEdit7, ui->lineEdit8, ui->lineEdit9, ui->lineEdit10})
        edit->setValidator(channelValidator);

    readTimer = new QTimer(this);
    // A coarse timer may fire up to 5% early and fail a read whose answer is still on its way.
    readTimer->setTimerType(Qt::PreciseTimer);
    connect(readTimer, &QTimer::timeout, this, &MainWindow::onTimeout);

    refreshPortList();
}

// The port is deliberately left as it is: it belongs to the process, not to the window.
MainWindow::~MainWindow()
{
    delete ui;
}
