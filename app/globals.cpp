#include <QSerialPort>

#include "mainwindow.h"

// Created before main() runs and never deleted: the system releases the device at exit.
QSerialPort *serialPort = new QSerialPort();

bool englishMode = false;
bool readOk = false;
bool writeOk = false;
