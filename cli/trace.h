#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QString>

namespace tmx9ctl {

// One traffic line, laid out as the simulated radio logs its own: "->" for bytes to the radio,
// "<-" for bytes from it, milliseconds with three decimals, the bytes in hex, a summary.
//   "->     12.345 ms  24 24 52 49 1B 00 00 0D 0A  read request"
QString formatTraceLine(bool toRadio, qint64 timeNs, const QByteArray &bytes,
                        const QString &summary);

// The --trace file. Times count from open(); every line reaches the file at once, so a run that
// is interrupted leaves what happened until then. Inactive (all calls do nothing) until opened.
// Safe to call from several threads. With several ports at once, each port's lines carry a
// non-empty `tag` (the port): "-- tag: text" for notes, "  [tag]" after the summary otherwise.
class Trace
{
public:
    bool open(const QString &path, QString *error);
    bool isActive() const { return file_.isOpen(); }

    void note(const QString &text, const QString &tag = {});     // "-- text"
    void sent(const QByteArray &bytes, const QString &tag = {}); // written to the radio
    // A line from the radio, CR LF included.
    void received(const QByteArray &line, const QString &tag = {});
    // Bytes from the radio that never formed a line.
    void discarded(const QByteArray &bytes, const QString &tag = {});

private:
    void traffic(bool toRadio, const QByteArray &bytes, const QString &summary, const QString &tag);
    void write(const QString &line);
    void put(const QString &line); // with the lock held

    QFile file_;
    QElapsedTimer clock_;
    QMutex mutex_;
};

} // namespace tmx9ctl
