#pragma once

#include <QString>
#include <QStringList>

namespace tmx9ctl {

inline constexpr int kDefaultBaud = 115200;

// What the command line asks for, checked: every layer below the command line reads it, none
// changes it.
struct Options
{
    QString command;
    QStringList ports;      // as given; portIds holds what each one names on this machine
    QStringList portIds;    // canonical: one device, one text, however it was spelt
    bool portsNamed = true; // false: detect tries every port that can be opened
    int baud = kDefaultBaud;
    bool autoBaud = false;
    bool json = false;
    QString outPath;
    bool verify = true;
    QString tracePath;
    QString profilePath;
    bool backup = true;
    QString backupDir; // empty: the user's backup folder
    QString fromTrace; // read: a window log or --trace file instead of a radio
};

} // namespace tmx9ctl
