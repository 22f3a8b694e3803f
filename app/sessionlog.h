#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

// The window's traffic log, for whoever has to find out later what happened between this computer
// and a radio: every byte sent and received, laid out as tmx9ctl's --trace. One file a session,
// created at the first thing to record; it begins with the program, its version and the operating
// system. A log that cannot be written costs one debug line and is then off: the window never
// waits for it, nor shows anything about it.
class SessionLog
{
public:
    static constexpr int kKeptSessions = 20;
    static constexpr qint64 kMaxFileBytes = 1 << 20;

    // TMX9_LOG_DIR when set (set but empty: no log), else the user's local application data
    // folder's "logs". Empty: no log.
    static QString defaultFolder();

    explicit SessionLog(const QString &folder = defaultFolder());

    void portOpened(const QString &port, int baudRate);
    void portNotOpened(const QString &port, const QString &error);
    void portClosed(const QString &port);
    void deviceGone(const QString &port);
    void sent(const QByteArray &bytes);
    // Any chunk: it is cut into CR LF lines here, as the radio ends its frames.
    void received(const QByteArray &chunk);
    // Bytes read and thrown away unseen (what waited in the port before it was opened).
    void dropped(const QByteArray &bytes);

    // The session's file; empty until something was recorded, or when the log is off.
    QString filePath() const { return file_.fileName(); }

private:
    void note(const QString &text);
    void flushPending(); // what never ended in CR LF
    void put(const QString &line);
    bool openFile();
    void giveUp(const QString &why);

    QString folder_;
    QFile file_;
    QElapsedTimer clock_;
    QDateTime started_;
    QByteArray pending_; // received bytes after the last CR LF
    qint64 written_ = 0;
    bool off_ = false;
};
