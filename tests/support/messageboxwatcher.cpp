#include "messageboxwatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QTest>

MessageBoxWatcher::MessageBoxWatcher(QObject *parent) : QObject(parent)
{
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, this, &MessageBoxWatcher::poll);
    timer.start();
}

void MessageBoxWatcher::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    if (box != current) {
        current = box;
        currentSince = QDateTime::currentMSecsSinceEpoch();
        Box record;
        record.icon = box->icon();
        record.title = box->windowTitle();
        record.text = box->text();
        record.buttons = box->standardButtons();
        record.parent = box->parentWidget();
        seen.push_back(record);
    }
    if (QDateTime::currentMSecsSinceEpoch() - currentSince < holdMs)
        return;
    current = nullptr;
    const auto buttons = box->buttons();
    if (!buttons.isEmpty())
        buttons.first()->click();
    else
        box->reject();
}

bool MessageBoxWatcher::waitForCount(int n, int timeoutMs)
{
    return QTest::qWaitFor([&] { return seen.size() >= n; }, timeoutMs);
}
