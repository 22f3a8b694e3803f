#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

namespace tmx9ctl {

// One traffic line, laid out as the simulated radio logs its own: "->" for bytes to the radio,
// "<-" for bytes from it, milliseconds with three decimals, the bytes in hex, a summary.
//   "->     12.345 ms  24 24 52 49 1B 00 00 0D 0A  read request"
QString formatTraceLine(bool toRadio, qint64 timeNs, const QByteArray &bytes,
                        const QString &summary);

// The --trace file. Times count from open(); every line reaches the file at once, so a run that
// is interrupted leaves what happened until then. Inactive (all calls do nothing) until opened.
class Trace
{
public:
    bool open(const QString &path, QString *error);
    bool isActive() const { return file_.isOpen(); }

    void note(const QString &text);          // "-- text"
    void sent(const QByteArray &bytes);      // written to the radio
    void received(const QByteArray &line);   // a line from the radio, CR LF included
    void discarded(const QByteArray &bytes); // bytes from the radio that never formed a line

private:
    void write(const QString &line);

    QFile file_;
    QElapsedTimer clock_;
};

} // namespace tmx9ctl
