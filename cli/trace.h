#pragma once

#include "describe.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QString>

namespace tmx9ctl {

// The --trace file, laid out as the simulated radio logs its traffic. Times count from open();
// every line reaches the file at once, so a run that is interrupted leaves what happened until
// then. Inactive (all calls do nothing) until opened. Safe to call from several threads. With
// several ports at once, each port's lines carry a non-empty `tag` (the port): "-- tag: text" for
// notes, "  [tag]" after the summary otherwise.
class Trace
{
public:
    bool open(const QString &path, QString *error);
    bool isActive() const { return file_.isOpen(); }
    // A write to the file failed (a full disk, /dev/full): the trace is incomplete.
    bool failed() const;
    QString failure() const;

    void note(const QString &text, const QString &tag = {});     // "-- text"
    void sent(const QByteArray &bytes, const QString &tag = {}); // written to the radio
    // A line from the radio, CR LF included.
    void received(const QByteArray &line, const QString &tag = {});
    // Bytes from the radio that never formed a line.
    void discarded(const QByteArray &bytes, const QString &tag = {});

private:
    void traffic(tmx9::Direction direction, const QByteArray &bytes, const QString &summary,
                 const QString &tag);
    void write(const QString &line);
    void put(const QString &line); // with the lock held

    QFile file_;
    QElapsedTimer clock_;
    mutable QMutex mutex_;
    QString failure_;
};

} // namespace tmx9ctl
