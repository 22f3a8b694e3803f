#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

// Closes every modal message box as soon as it appears and records what it showed, so a test
// never blocks on a box and can check each one afterwards.
class MessageBoxWatcher : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QWidget *parent = nullptr;
    };

    explicit MessageBoxWatcher(QObject *parent = nullptr);

    const QVector<Box> &boxes() const { return seen; }
    int count() const { return seen.size(); }
    const Box &last() const { return seen.last(); }
    void clear() { seen.clear(); }
    // Processes events until `n` boxes have been seen or `timeoutMs` passed.
    bool waitForCount(int n, int timeoutMs = 5000);
    // Milliseconds to leave a box open before closing it (default 0: close at once).
    void setHoldMs(int ms) { holdMs = ms; }

private:
    void poll();

    QTimer timer;
    QVector<Box> seen;
    QMessageBox *current = nullptr;
    qint64 currentSince = 0;
    int holdMs = 0;
};
