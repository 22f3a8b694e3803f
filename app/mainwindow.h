#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <QVector>
#include <initializer_list>

#include "plans.h"
#include "serialengine.h"
#include "sessionlog.h"

class QComboBox;
class QLineEdit;
class QSerialPort;
class QTimer;

namespace Ui {
class MainWindow;
}

// The one serial port of the process. It has no parent and lives until the process ends.
extern QSerialPort *serialPort;

// Process-wide flags, all false at start.
extern bool englishMode; // texts are English rather than Chinese
extern bool readOk;      // a channel table has been shown since the last Read Config
extern bool writeOk;     // a write acknowledgement arrived and has not been reported yet

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    // The order of these slots is part of the interface: it fixes their meta-method indexes.
    void on_open_port_2_clicked();
    void on_open_port_clicked();
    void sleep(int msec);
    void on_refreshSerial_clicked();
    void Read_Date();
    void on_open_port_4_clicked();
    void on_open_port_3_clicked();
    void on_open_port_5_clicked();
    void on_checkBox_stateChanged(int arg1);
    void onTimeout();
    void on_com_2_currentTextChanged(const QString &arg1);
    void on_com_6_currentTextChanged(const QString &arg1);

private:
    // The one mapping between the form and the radio's settings.
    // lineEdit1 .. lineEdit10 (channel 0 first), found by name; null where a name is missing.
    QVector<QLineEdit *> channelEdits() const;
    QComboBox *comboFor(tmx9::Field field) const;
    // The combos' texts and the channel edits' texts as they stand.
    tmx9::RadioSettings formSettings() const;
    // Sets the combos of `order`, in that order (the option rules react to each), skipping null
    // texts, then as many channel edits as `settings` has frequencies.
    void showSettings(const tmx9::RadioSettings &settings,
                      std::initializer_list<tmx9::Field> order);

    void refreshPortList();
    void openPort();
    void closePort();
    // Releases a port whose device has gone, unseen by the user.
    void releaseLostPort();
    void handleLine(const QByteArray &line);
    void showParameters(const QByteArray &line);
    void showChannelTable(const QByteArray &line);
    void showWriteVerdict();
    void showInformation(const QString &text);

    int portOpen = 0;
    QByteArray rxBuffer;
    Ui::MainWindow *ui = nullptr;
    QTimer *readTimer = nullptr;
    int rxHead = 0; // bytes of rxBuffer already consumed (dropped at the end of every receive)
    SessionLog sessionLog;
    // The window does not notice a removed device: its waits keep their pace.
    serialports::SerialEngine serialLine{*serialPort, &sessionLog,
                                         serialports::SerialEngine::OnLoss::KeepPace};
};
