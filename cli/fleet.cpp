#include "fleet.h"

#include <QEventLoop>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>

namespace tmx9ctl {

namespace {

QtMessageHandler previousHandler = nullptr;

// Qt warns of every thread the system refuses; the port's own failure line says it once.
void withoutThreadWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (!text.startsWith(QLatin1String("QThread::start: Thread creation error")))
        previousHandler(type, context, text);
}

} // namespace

bool startThread(QThread &thread)
{
    // A port's work needs little stack: the size every Windows thread gets, not Linux's 8 MiB,
    // so that many ports under a memory limit fail to start rather than exhaust the heap.
    thread.setStackSize(1024 * 1024);
    thread.start();
    // A thread the system refused (out of memory or of threads) neither runs nor finishes.
    return thread.isRunning() || thread.isFinished();
}

void forEachPort(const QStringList &ports, const PortJob &job, const PortReport &report,
                 const ThreadStart &start)
{
    if (ports.size() == 1) {
        report(ports.constFirst(), job(ports.constFirst(), QString()));
        return;
    }
    const int count = ports.size();
    std::vector<PortResult> results(count);
    std::vector<bool> done(count, false);
    std::vector<std::unique_ptr<QThread>> threads;
    int reported = 0;
    int started = 0;
    int running = 0;
    QEventLoop loop;
    const auto finish = [&](int i) {
        done[i] = true;
        while (reported < count && done[reported]) {
            report(ports[reported], results[reported]);
            ++reported;
        }
        if (reported == count)
            loop.quit();
    };
    std::function<void()> startMore = [&] {
        while (started < count && running < kMaxPortThreads) {
            const int i = started++;
            threads.emplace_back(QThread::create(
                [&job, &results, &ports, i] { results[i] = job(ports[i], ports[i]); }));
            QThread &thread = *threads.back();
            QObject::connect(&thread, &QThread::finished, &loop, [&, i] {
                --running;
                finish(i);
                startMore();
            });
            if (start(thread)) {
                ++running;
                continue;
            }
            // A refused thread would never report: it fails here instead.
            QObject::disconnect(&thread, &QThread::finished, &loop, nullptr);
            results[i].outcome = {PortUnavailable,
                                  QStringLiteral("the system cannot start a thread for this port "
                                                 "(too many ports at once, or too little memory); "
                                                 "nothing was sent to it")};
            finish(i);
        }
    };
    previousHandler = qInstallMessageHandler(withoutThreadWarnings);
    startMore();
    if (reported < count)
        loop.exec();
    qInstallMessageHandler(previousHandler);
    for (const auto &thread : threads)
        thread->wait();
}

} // namespace tmx9ctl
