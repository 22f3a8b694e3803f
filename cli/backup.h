#pragma once

#include "configuration.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace tmx9ctl {

// Backups kept of each radio, newest first; older ones are deleted when a new one is saved.
inline constexpr int kKeptBackups = 20;

// The user's backup folder: tmx9-config/backups in the local application data folder
// (~/.local/share, or $XDG_DATA_HOME, on Linux; %LOCALAPPDATA% on Windows). Empty when the
// system names none.
QString defaultBackupFolder();

// The backup's file name: the radio's serial number (characters other than letters, digits, '-'
// and '_' as '_'), then the UTC time to the millisecond: "SN0001-20261210T043120.123Z.json".
QString backupFileName(const QString &serialNumber, const QDateTime &when);

// Saves `configuration` as a profile in `folder`, made when missing, and deletes that radio's
// backups beyond the newest kKeptBackups (only files named as backupFileName names them). Never
// replaces a file, and never leaves half a backup. The file's path, or nullopt with `error`.
std::optional<QString> saveBackup(const QString &folder, const Configuration &configuration,
                                  const QDateTime &when, QString *error);

} // namespace tmx9ctl
