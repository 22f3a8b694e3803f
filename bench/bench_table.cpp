// Side-by-side figures: each measurement and its reference are taken in the same run, so the
// ratio holds even on a noisy machine. Prints a Markdown table.
//
//   bench_table [--quick]      (QT_QPA_PLATFORM=offscreen is used unless set otherwise)
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QTime>
#include <QTimer>

#include <cstdio>
#include <optional>

#include "benchfigures.h"
#include "frames.h"
#include "mainwindow.h"
#include "plans.h"
#include "portlist.h"
#include "receiverstream.h"
#include "responses.h"
#include "simradio.h"

using bench::median;
using bench::monotonicNs;
using bench::processCpuMs;

namespace {

int repetitions(int full, bool quick)
{
    return quick ? qMax(3, full / 3) : full;
}

struct Row
{
    QString measure;
    QString figure;
    QString reference;
    QString result;
    QString goal;
    bool met = false;
    bool measured = true; // false: the measurement itself failed (a wrong verdict, no launch)
};

Row couldNotOpen(const QString &measure)
{
    Row row;
    row.measure = measure;
    row.figure = QStringLiteral("the port could not be opened");
    row.measured = false;
    return row;
}

QString ms(double value)
{
    return QStringLiteral("%1 ms").arg(value, 0, 'f', 1);
}

QString mib(double kb)
{
    return QStringLiteral("%1 MiB").arg(kb / 1024.0, 0, 'f', 1);
}

// Every message box the window opens: when it was shown and what it said. It is closed at once,
// as a user who clicks Ok would.
class BoxWatcher : public QObject
{
public:
    struct Box
    {
        qint64 shownNs = 0;
        double cpuMs = 0;
        QString text;
    };

    BoxWatcher() { qApp->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && event->type() == QEvent::Show) {
            boxes_.append({monotonicNs(), processCpuMs(), box->text()});
            QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
            if (loop_)
                loop_->quit();
        }
        return QObject::eventFilter(watched, event);
    }

    // The next box, waiting for it when it has not come yet.
    std::optional<Box> next(int timeoutMs = 8000)
    {
        if (taken_ == boxes_.size()) {
            QEventLoop loop;
            loop_ = &loop;
            QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
            loop.exec();
            loop_ = nullptr;
        }
        if (taken_ == boxes_.size())
            return std::nullopt;
        return boxes_.at(taken_++);
    }

    void skipAll() { taken_ = boxes_.size(); }

private:
    QVector<Box> boxes_;
    int taken_ = 0;
    QEventLoop *loop_ = nullptr;
};

// Processes events for a while, so that one measurement's stragglers do not fall into the next.
void settle(int msec)
{
    QEventLoop loop;
    QTimer::singleShot(msec, &loop, &QEventLoop::quit);
    loop.exec();
}

// The wait as it is often written: poll the event queue without ever blocking until the time of
// day passes the end. Kept here as the reference for the window's blocking wait.
void naiveSleep(int msec)
{
    const QTime end = QTime::currentTime().addMSecs(msec);
    while (QTime::currentTime() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
}

class WindowBench
{
public:
    explicit WindowBench(bool quick) : quick_(quick) {}

    bool start(QString *error)
    {
        radio_.setRecordTraffic(false);
        if (!radio_.start(error))
            return false;
        window_ = std::make_unique<MainWindow>();
        window_->show();
        return true;
    }

    // Opens the port at `baud`, with the radio's output paced at the same rate.
    bool openAt(int baud)
    {
        if (serialPort->isOpen())
            button("open_port")->click();
        tmx9sim::Faults line;
        line.paceBaud = baud;
        radio_.setFaults(line);
        // The radio hears only its own serial rate: make it the rate the window opens at.
        tmx9::RadioSettings settings = radio_.settings();
        settings.serialBaud = QString::number(baud);
        radio_.setSettings(settings);
        radio_.discardUnread();
        QComboBox *com = combo("com");
        if (com->findText(radio_.slavePath()) < 0)
            com->addItem(radio_.slavePath());
        com->setCurrentText(radio_.slavePath());
        combo("baud")->setCurrentText(QString::number(baud));
        button("open_port")->click();
        const auto box = boxes_.next(); // the read that opening makes
        settle(50);
        return serialPort->isOpen() && box && box->text == QStringLiteral("读取完成");
    }

    void readRoundTrip(int baud, QVector<Row> &rows)
    {
        if (!openAt(baud)) {
            rows.append(couldNotOpen(QStringLiteral("Read Config round trip, %1 baud").arg(baud)));
            return;
        }
        const int request = tmx9::readRequest().size();
        const int responses = tmx9sim::parameterResponse(radio_.parameterBlock()).size() +
                              tmx9sim::channelTableResponse(radio_.channelRecords()).size();
        const double byteMs = 10.0 * 1000.0 / baud;
        const double wireMs = (request + responses) * byteMs;
        const double pacedMs = responses * byteMs;

        QVector<double> trips;
        bool ok = true;
        for (int i = 0; i < repetitions(15, quick_); ++i) {
            const qint64 clicked = monotonicNs();
            button("open_port_2")->click();
            const auto box = boxes_.next();
            ok = ok && box && box->text == QStringLiteral("读取完成");
            if (box)
                trips << (box->shownNs - clicked) / 1e6;
            settle(30);
        }
        const double trip = median(trips);
        // The pseudo-terminal carries the request at once; only the radio's bytes are paced.
        const double overhead = trip - pacedMs;
        rows.append({QStringLiteral("Read Config round trip, click to \"Read completed\", "
                                    "%1 baud (median of %2)")
                         .arg(baud)
                         .arg(trips.size()),
                     ms(trip),
                     QStringLiteral("wire time of the %1 bytes exchanged: %2; the %3 bytes of "
                                    "the answers, paced by the simulated radio: %4")
                         .arg(request + responses)
                         .arg(ms(wireMs))
                         .arg(responses)
                         .arg(ms(pacedMs)),
                     QStringLiteral("overhead %1").arg(ms(overhead)),
                     QStringLiteral("overhead under 5 ms"), ok && overhead < 5.0, ok});
    }

    void writeWallTimes(QVector<Row> &rows)
    {
        if (!openAt(115200)) {
            rows.append(couldNotOpen(QStringLiteral("Write wall time")));
            return;
        }
        struct Case
        {
            const char *name;
            const char *button;
            const char *airBaud; // chooses the modulation through the window's rules
            int waitsMs;
        };
        const Case cases[] = {
            {"Write Config, FSK", "open_port_3", "9600", 600},
            {"Write Config, LORA", "open_port_3", "11000", 500},
            {"Write default", "open_port_4", nullptr, 500},
        };
        for (const Case &c : cases) {
            QVector<double> walls;
            bool ok = true;
            for (int i = 0; i < repetitions(7, quick_); ++i) {
                if (c.airBaud)
                    combo("com_6")->setCurrentText(QLatin1String(c.airBaud));
                const qint64 clicked = monotonicNs();
                const double cpuBefore = processCpuMs();
                button(c.button)->click(); // returns when the verdict box has been closed
                const auto box = boxes_.next();
                ok = ok && box && box->text == QStringLiteral("写入完成");
                if (box) {
                    walls << (box->shownNs - clicked) / 1e6;
                    if (c.waitsMs == 600) {
                        writeCpuMs_ << box->cpuMs - cpuBefore;
                        writeWallMs_ << walls.last();
                    }
                }
                settle(50);
            }
            const double wall = median(walls);
            const double off = (wall - c.waitsMs) / c.waitsMs * 100.0;
            rows.append({QStringLiteral("%1 wall time, click to verdict (median of %2)")
                             .arg(QLatin1String(c.name))
                             .arg(walls.size()),
                         ms(wall), QStringLiteral("waits prescribed: %1 ms").arg(c.waitsMs),
                         QStringLiteral("%1%2 %").arg(off >= 0 ? "+" : "").arg(off, 0, 'f', 2),
                         QStringLiteral("within 2 %"), ok && qAbs(off) <= 2.0, ok});
        }
    }

    // The same Write Config (FSK), but every wait done by the naive polling loop.
    void writeCpu(QVector<Row> &rows)
    {
        tmx9::RadioSettings settings = tmx9::defaultSettings();
        settings.modulation = QStringLiteral("FSK");
        settings.airBaud = QStringLiteral("9600");
        const tmx9::TransmissionPlan plan = tmx9::writeConfigPlan(settings);
        QVector<double> naiveCpu, naiveWall;
        for (int i = 0; i < repetitions(7, quick_); ++i) {
            const qint64 began = monotonicNs();
            const double cpuBefore = processCpuMs();
            for (const tmx9::PlanStep &step : plan) {
                if (!step.bytes.isEmpty())
                    serialPort->write(step.bytes);
                if (step.waitMs > 0)
                    naiveSleep(step.waitMs);
            }
            naiveCpu << processCpuMs() - cpuBefore;
            naiveWall << (monotonicNs() - began) / 1e6;
            writeOk = false; // the radio's answers are not this comparison's business
            settle(50);
        }
        const double cpu = median(writeCpuMs_), wall = median(writeWallMs_);
        const double share = wall > 0 ? cpu / wall * 100.0 : 100.0;
        const double nCpu = median(naiveCpu), nWall = median(naiveWall);
        const double naiveShare = nWall > 0 ? nCpu / nWall * 100.0 : 0.0;
        rows.append(
            {QStringLiteral("CPU time of a Write Config, FSK (median of %1)")
                 .arg(writeCpuMs_.size()),
             QStringLiteral("%1 of %2 wall: %3 %").arg(ms(cpu), ms(wall)).arg(share, 0, 'f', 1),
             QStringLiteral("the same writes with a naive polling wait: %1 of %2 wall: "
                            "%3 %")
                 .arg(ms(nCpu), ms(nWall))
                 .arg(naiveShare, 0, 'f', 1),
             QStringLiteral("%1 % against %2 %").arg(share, 0, 'f', 1).arg(naiveShare, 0, 'f', 1),
             QStringLiteral("under 5 % of the wall time (naive: about 100 %)"),
             !writeCpuMs_.isEmpty() && share < 5.0, !writeCpuMs_.isEmpty()});
    }

    void finish()
    {
        if (serialPort->isOpen())
            button("open_port")->click();
        boxes_.skipAll();
    }

private:
    QComboBox *combo(const char *name) const
    {
        return window_->findChild<QComboBox *>(QLatin1String(name));
    }
    QPushButton *button(const char *name) const
    {
        return window_->findChild<QPushButton *>(QLatin1String(name));
    }

    bool quick_;
    tmx9sim::SimRadio radio_;
    std::unique_ptr<MainWindow> window_;
    BoxWatcher boxes_;
    QVector<double> writeCpuMs_;
    QVector<double> writeWallMs_;
};

struct Launch
{
    double shownMs = -1;
    double peakKb = -1;
};

// Starts a harness and reads when its window was first exposed and its peak memory.
Launch launch(const QString &program)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    const qint64 started = monotonicNs();
    process.start(program, QStringList());
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return {};
    const QList<QByteArray> fields = process.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 2)
        return {};
    return {(fields.at(0).toLongLong() - started) / 1e6, double(fields.at(1).toLongLong())};
}

void startup(const QString &dir, bool quick, QVector<Row> &rows)
{
    // The floor is what any window built to this form pays: the form's 600x500 size and a
    // Chinese text, hence the font system, a Chinese font and that backing store. The empty
    // window pays none of it and is shown for context only.
    enum { Window, Floor, Empty, Kinds };
    const QString programs[Kinds] = {
        QDir(dir).filePath(QStringLiteral("bench_shown_window")),
        QDir(dir).filePath(QStringLiteral("bench_shown_label")),
        QDir(dir).filePath(QStringLiteral("bench_shown_bare")),
    };
    for (const QString &program : programs)
        launch(program); // warms the caches: they share most libraries
    QVector<double> ms_[Kinds], kb[Kinds];
    for (int i = 0; i < repetitions(21, quick); ++i) {
        // Interleaved, so that a slow spell of the machine hits all alike.
        for (int kind = 0; kind < Kinds; ++kind) {
            const Launch l = launch(programs[kind]);
            if (l.shownMs < 0)
                continue;
            ms_[kind] << l.shownMs;
            kb[kind] << l.peakKb;
        }
    }
    bool ok = true;
    for (int kind = 0; kind < Kinds; ++kind)
        ok = ok && !ms_[kind].isEmpty();
    const auto ratio = [&](const QVector<double> *of, int kind, int reference) {
        return ok ? median(of[kind]) / median(of[reference]) : 0.0;
    };
    const auto times = [](double value) {
        return QStringLiteral("%1 times").arg(value, 0, 'f', 2);
    };
    const double timeRatio = ratio(ms_, Window, Floor), memRatio = ratio(kb, Window, Floor);
    rows.append({QStringLiteral("Start-up to the window shown (median of %1 launches)")
                     .arg(ms_[Window].size()),
                 ms(median(ms_[Window])),
                 QStringLiteral("floor: a bare window at the form's 600x500 size showing one "
                                "Chinese label: %1")
                     .arg(ms(median(ms_[Floor]))),
                 times(timeRatio), QStringLiteral("at most 1.3 times"), ok && timeRatio <= 1.3,
                 ok});
    rows.append({QStringLiteral("Peak memory (VmHWM) once shown (median of %1 launches)")
                     .arg(kb[Window].size()),
                 mib(median(kb[Window])),
                 QStringLiteral("the same floor program: %1").arg(mib(median(kb[Floor]))),
                 times(memRatio), QStringLiteral("at most 1.15 times"), ok && memRatio <= 1.15,
                 ok});
    rows.append({QStringLiteral("For context: a bare Qt program showing an empty QMainWindow "
                                "(median of %1 launches)")
                     .arg(ms_[Empty].size()),
                 QStringLiteral("%1, %2").arg(ms(median(ms_[Empty])), mib(median(kb[Empty]))),
                 QStringLiteral("the window: %1, %2; the floor: %3, %4")
                     .arg(ms(median(ms_[Window])), mib(median(kb[Window])), ms(median(ms_[Floor])),
                          mib(median(kb[Floor]))),
                 QStringLiteral("the window %1, %2; the floor %3, %4")
                     .arg(times(ratio(ms_, Window, Empty)), times(ratio(kb, Window, Empty)),
                          times(ratio(ms_, Floor, Empty)), times(ratio(kb, Floor, Empty))),
                 QStringLiteral("none (a reference)"), true, ok});
}

void receiverThroughput(QVector<Row> &rows)
{
    const QByteArray stream = bench::mixedStream(4 << 20);
    constexpr double kWireBytesPerSecond = 115200 / 10.0;
    QVector<double> rates;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        qint64 bytes = 0;
        volatile int sink = 0;
        while (clock.elapsed() < 300) {
            sink = sink + bench::receiveAll(stream, 64);
            bytes += stream.size();
        }
        rates << bytes / (clock.nsecsElapsed() / 1e9);
    }
    const double rate = median(rates);
    const double ratio = rate / kWireBytesPerSecond;
    rows.append({QStringLiteral("Receiver throughput, mixed frames and noise in 64-byte chunks"),
                 QStringLiteral("%1 MB/s").arg(rate / 1e6, 0, 'f', 1),
                 QStringLiteral("115200-baud wire rate: %1 kB/s").arg(kWireBytesPerSecond / 1e3),
                 QStringLiteral("%1 times").arg(ratio, 0, 'f', 0),
                 QStringLiteral("at least 1,000 times"), ratio >= 1000});
}

void printTable(const QVector<Row> &rows)
{
    std::printf("| Measure | Figure | Reference, same run | Result | Goal | Met |\n");
    std::printf("|---|---|---|---|---|---|\n");
    for (const Row &r : rows) {
        const char *met = !r.measured                                ? "**failed**"
                          : r.goal.startsWith(QLatin1String("none")) ? "-"
                          : r.met                                    ? "yes"
                                                                     : "**no**";
        std::printf("| %s | %s | %s | %s | %s | %s |\n", qPrintable(r.measure),
                    qPrintable(r.figure), qPrintable(r.reference), qPrintable(r.result),
                    qPrintable(r.goal), met);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window lists no port of the machine: it talks only to the simulated radio.
    serialports::setCandidateSource([] { return QStringList(); });
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    // The window's own debug lines would interleave with the table.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg && type != QtInfoMsg && !text.contains("propagateSizeHints") &&
            !text.contains("connectSlotsByName"))
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });

    QVector<Row> rows;
    {
        WindowBench window(quick);
        QString error;
        if (!window.start(&error)) {
            std::fprintf(stderr, "cannot start the simulated radio: %s\n", qPrintable(error));
            return 2;
        }
        std::fprintf(stderr, "round trips...\n");
        window.readRoundTrip(115200, rows);
        window.readRoundTrip(9600, rows);
        std::fprintf(stderr, "writes...\n");
        window.writeWallTimes(rows);
        window.writeCpu(rows);
        window.finish();
    }
    std::fprintf(stderr, "start-up...\n");
    startup(QCoreApplication::applicationDirPath(), quick, rows);
    std::fprintf(stderr, "receiver...\n");
    receiverThroughput(rows);

    printTable(rows);
    // A goal missed is a figure like any other; a measurement that could not be made is an error.
    for (const Row &row : rows) {
        if (!row.measured)
            return 1;
    }
    return 0;
}
