#include "simulatedport.h"

#include "mainwindow.h"

#include <QComboBox>
#include <QPushButton>

namespace tmx9demo {

namespace {

void addAndSelect(QComboBox *com, const QString &path)
{
    if (com->findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        com->addItem(path);
    com->setCurrentText(path);
}

} // namespace

void offerSimulatedPort(MainWindow &window, const QString &path)
{
    auto *com = window.findChild<QComboBox *>(QStringLiteral("com"));
    auto *refresh = window.findChild<QPushButton *>(QStringLiteral("refreshSerial"));
    if (!com || !refresh)
        return;
    addAndSelect(com, path);
    // Connected after the window's own slot, so this runs once the list has been rebuilt.
    QObject::connect(refresh, &QPushButton::clicked, com, [com, path] { addAndSelect(com, path); });
}

} // namespace tmx9demo
