// tmx9ctl against simulated radios on pseudo-terminals, in this process: several radios written
// at once against one, and a search of every rate on a port where no radio answers. Prints rows
// that continue bench_table's Markdown table (same columns, no header).
//
//   bench_cli [--quick]
#include "benchfigures.h"
#include "plans.h"
#include "portlist.h"
#include "registers.h"
#include "simradio.h"
#include "tmx9ctl.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Run
{
    int status = -1;
    double ms = 0;
};

Run ctl(const QStringList &arguments)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const qint64 start = bench::monotonicNs();
    Run run;
    run.status =
        tmx9ctl::run(QStringList{QStringLiteral("tmx9ctl")} + arguments, outStream, errStream);
    run.ms = (bench::monotonicNs() - start) / 1e6;
    if (run.status != 0 && !err.isEmpty())
        std::fprintf(stderr, "%s", qPrintable(err));
    return run;
}

void row(const QString &measure, const QString &figure, const QString &reference,
         const QString &result, const QString &goal, bool met, bool measured)
{
    std::printf("| %s | %s | %s | %s | %s | %s |\n", qPrintable(measure), qPrintable(figure),
                qPrintable(reference), qPrintable(result), qPrintable(goal),
                !measured ? "**failed**"
                : met     ? "yes"
                          : "**no**");
}

QString ms(double value)
{
    return QStringLiteral("%1 ms").arg(value, 0, 'f', 1);
}

// Six radios written and verified in one run against one radio, alternating, so that both see
// the same machine.
bool fleet(int repetitions)
{
    constexpr int kRadios = 6;
    std::vector<std::unique_ptr<tmx9sim::SimRadio>> radios;
    QStringList all;
    for (int i = 0; i < kRadios; ++i) {
        auto radio = std::make_unique<tmx9sim::SimRadio>();
        radio->setRecordTraffic(false);
        tmx9sim::Faults line;
        line.paceBaud = 115200; // like a serial line
        radio->setFaults(line);
        if (!radio->start())
            return false;
        all << QStringLiteral("--port") << radio->slavePath();
        radios.push_back(std::move(radio));
    }
    // With the backups a write keeps, in a folder of the benchmark's own.
    QTemporaryDir backups;
    const QStringList defaults{QStringLiteral("default"), QStringLiteral("--backup-dir"),
                               backups.path()};
    const QStringList one =
        defaults + QStringList{QStringLiteral("--port"), radios.front()->slavePath()};
    const QStringList six = defaults + all;
    QVector<double> single, many;
    bool ok = true;
    for (int i = 0; i < repetitions; ++i) {
        const Run a = ctl(one);
        const Run b = ctl(six);
        ok = ok && a.status == 0 && b.status == 0;
        single << a.ms;
        many << b.ms;
    }
    const double s = bench::median(single);
    const double m = bench::median(many);
    const double ratio = m / s;
    row(QStringLiteral("tmx9ctl default, backed up, written and verified: six radios at once, "
                       "115200 baud "
                       "(median of %1)")
            .arg(repetitions),
        ms(m), QStringLiteral("one radio: %1").arg(ms(s)),
        QStringLiteral("%1 times").arg(ratio, 0, 'f', 2), QStringLiteral("at most 1.3 times"),
        ratio <= 1.3, ok);
    return ok;
}

// A port where nothing answers: every rate is tried for its full wait.
bool emptyPort(int repetitions)
{
    tmx9sim::SimRadio radio;
    radio.setRecordTraffic(false);
    tmx9sim::Faults deaf;
    deaf.silent = true;
    radio.setFaults(deaf);
    if (!radio.start())
        return false;
    QVector<double> times;
    bool ok = true;
    for (int i = 0; i < repetitions; ++i) {
        const Run run =
            ctl({QStringLiteral("detect"), QStringLiteral("--port"), radio.slavePath()});
        ok = ok && run.status == 4;
        times << run.ms;
    }
    const int rates = int(std::size(tmx9::kSearchRates));
    const double waits = rates * tmx9::kSearchWaitMs;
    const double took = bench::median(times);
    row(QStringLiteral("tmx9ctl detect, one port where no radio answers (median of %1)")
            .arg(repetitions),
        ms(took),
        QStringLiteral("the waits: %1 rates x %2 ms = %3")
            .arg(rates)
            .arg(tmx9::kSearchWaitMs)
            .arg(ms(waits)),
        QStringLiteral("+%1 ms").arg(took - waits, 0, 'f', 1),
        QStringLiteral("at most the waits + 150 ms (the port settles 100 ms after opening)"),
        took <= waits + 150, ok);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    // No port of the machine is listed, let alone opened.
    serialports::setCandidateSource([] { return QStringList(); });
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    std::fprintf(stderr, "tmx9ctl, six radios...\n");
    bool ok = fleet(quick ? 3 : 9);
    std::fprintf(stderr, "tmx9ctl detect...\n");
    ok = emptyPort(quick ? 3 : 7) && ok;
    std::fflush(stdout);
    return ok ? 0 : 1;
}
