#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
struct termios;

namespace tmx9sim {

// The master side of a pseudo-terminal; the tool opens the slave path as its serial port.
class PseudoTerminal : public QObject
{
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    bool open(QString *error = nullptr);
    // Closes both sides: whoever holds the slave sees the line hang up.
    void close();
    bool isOpen() const { return master_ >= 0; }
    QString slavePath() const { return slavePath_; }

    // Never blocks: what the master cannot take now is queued and written when it can.
    void write(const QByteArray &bytes);
    int queuedBytes() const { return queue_.size(); }
    // Bytes written that the slave side has not read yet. Closing discards them.
    int unreadBytes() const;
    // Drops them, as a real line drops what arrives while the port is closed.
    void discardUnread();
    // The rate the tool's side has set for sending, read now (it may change at any time); 0
    // when unknown. Before any program sets one, the pseudo-terminal's own default (38400).
    int toolSendRate() const;
    // The line settings the tool's side has set (the terminal both sides share). False when closed.
    bool toolSettings(termios *settings) const;

signals:
    // Every read of the master, in arrival order.
    void received(const QByteArray &chunk);

private:
    void readMaster();
    void flushQueue();

    int master_ = -1;
    int slave_ = -1; // held open so that the master never sees a hang-up while the tool is away
    QString slavePath_;
    QByteArray queue_;
    QSocketNotifier *readNotifier_ = nullptr;
    QSocketNotifier *writeNotifier_ = nullptr;
};

} // namespace tmx9sim
