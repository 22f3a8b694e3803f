#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

namespace tmx9ctl {

// The --trace file, laid out as the simulated radio logs its traffic. Times count from open();
// every line reaches the file at once, so a run that is interrupted leaves what happened until
// then. Inactive (all calls do nothing) until opened.
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
