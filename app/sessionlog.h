#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

#include "trafficwriter.h"

// The window's traffic log, for whoever has to find out later what happened between this computer
// and a radio: every byte sent and every line received as the window took it, laid out by the same
// traffic writer as tmx9ctl's --trace. One file a session, created at the first thing to record; it
// begins with the program, its version and the operating system. A log that cannot be written
// costs one debug line and is then off: the window never waits for it, nor shows anything about
// it.
class SessionLog : public serialports::TrafficWriter
{
public:
    static constexpr int kKeptSessions = 20;
    static constexpr qint64 kMaxFileBytes = 1 << 20;

    // TMX9_LOG_DIR when set (set but empty: no log), else the user's local application data
    // folder's "logs". Empty: no log.
    static QString defaultFolder();

    explicit SessionLog(const QString &folder = defaultFolder());

    void portOpened(const QString &port, int baudRate);
    void portClosed(const QString &port);
    void deviceGone(const QString &port);

    // The session's file; empty until something was recorded, or when the log is off.
    QString filePath() const { return file_.fileName(); }

private:
    bool put(const QString &line);
    bool openFile();
    void giveUp(const QString &why);

    QString folder_;
    QFile file_;
    QDateTime started_;
    qint64 written_ = 0;
    bool off_ = false;
};
