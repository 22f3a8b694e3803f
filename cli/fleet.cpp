#include "fleet.h"

#include <QEventLoop>
#include <QThread>
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

void forEachPort(const QStringList &ports, const PortJob &job, const PortReport &report)
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
    for (int i = 0; i < count; ++i) {
        threads.emplace_back(
            QThread::create([&job, &results, &ports, i] { results[i] = job(ports[i], ports[i]); }));
        QObject::connect(threads.back().get(), &QThread::finished, &loop,
                         [&finish, i] { finish(i); });
    }
    previousHandler = qInstallMessageHandler(withoutThreadWarnings);
    for (int i = 0; i < count; ++i) {
        QThread &thread = *threads[i];
        thread.start();
        // A thread the system refused (out of memory or of threads) neither runs nor finishes,
        // and would never report: it fails here instead.
        if (!thread.isRunning() && !thread.isFinished()) {
            results[i].outcome = {PortUnavailable,
                                  QStringLiteral("the system cannot start a thread for this port "
                                                 "(too many ports at once, or too little memory); "
                                                 "nothing was sent to it")};
            QObject::disconnect(&thread, &QThread::finished, &loop, nullptr);
            finish(i);
        }
    }
    qInstallMessageHandler(previousHandler);
    if (reported < count)
        loop.exec();
    for (const auto &thread : threads)
        thread->wait();
}

} // namespace tmx9ctl
