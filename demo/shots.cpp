// Renders the pictures of the README: the window in Chinese and in English after a read from
// the simulated radio, and the traffic log of a read and a write. scripts/make-pictures.sh runs it
// on an X server of its own:
//   tmx9-shots OUTDIR
//   tmx9-shots --check   the same steps and checks, no pictures; also a read in English and a
//                        refused frequency, and prints the window's size in the display's pixels
// Fails when a label, button or combo box of the window or of a message box does not show its
// text whole.
#include "demosession.h"
#include "displayscaling.h"
#include "portlist.h"
#include "textfit.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 kMaxPngBytes = 150 * 1024;
constexpr int kLogColumns = 104;

// Closes each message box as it appears and keeps its text, and the texts it cut.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && box->isVisible()) {
                texts_ << box->text();
                for (const QString &text : textfit::cutTexts(*box))
                    cut_ << QStringLiteral("box \"%1\": %2").arg(box->text(), text);
                box->accept();
            }
        });
        timer_.start(10);
    }
    // Whether a box whose text starts with `text` appeared.
    bool waitFor(const QString &text, int timeoutMs = 5000)
    {
        const auto seen = [&] {
            return std::any_of(texts_.cbegin(), texts_.cend(),
                               [&](const QString &t) { return t.startsWith(text); });
        };
        QElapsedTimer waited;
        waited.start();
        while (!seen() && waited.elapsed() < timeoutMs)
            QTest::qWait(10);
        const bool found = seen();
        texts_.clear();
        return found;
    }
    const QStringList &cut() const { return cut_; }

private:
    QTimer timer_;
    QStringList texts_;
    QStringList cut_;
};

// A PNG that stays small: the full-colour image when it fits, else a 256-colour one.
bool savePng(const QImage &image, const QString &path)
{
    if (!image.save(path, "PNG", 9))
        return false;
    if (QFileInfo(path).size() < kMaxPngBytes)
        return true;
    const QImage reduced = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    return reduced.save(path, "PNG", 9) && QFileInfo(path).size() < kMaxPngBytes;
}

// Long frames are wrapped, their continuation indented under the first byte.
QStringList wrapLog(const QString &text)
{
    QStringList out;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int hexColumn = line.indexOf(QLatin1String(" ms  "));
        const int indent = hexColumn < 0 ? 3 : hexColumn + 5;
        QString rest = line;
        bool first = true;
        while (rest.size() > (first ? kLogColumns : kLogColumns - indent)) {
            const int width = first ? kLogColumns : kLogColumns - indent;
            int cut = rest.lastIndexOf(QLatin1Char(' '), width);
            if (cut <= 0)
                cut = width;
            out << (first ? QString() : QString(indent, QLatin1Char(' '))) + rest.left(cut);
            rest = rest.mid(cut).trimmed();
            first = false;
        }
        out << (first ? QString() : QString(indent, QLatin1Char(' '))) + rest;
    }
    return out;
}

QImage renderText(const QStringList &lines)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(9);
    const QFontMetrics metrics(font);
    const int margin = 10;
    int width = 0;
    for (const QString &line : lines)
        width = qMax(width, metrics.horizontalAdvance(line));
    QImage image(width + 2 * margin, lines.size() * metrics.lineSpacing() + 2 * margin,
                 QImage::Format_RGB32);
    image.fill(QColor(0x1e, 0x1e, 0x1e));
    QPainter painter(&image);
    painter.setFont(font);
    int y = margin + metrics.ascent();
    for (const QString &line : lines) {
        const bool toRadio = line.startsWith(QLatin1String("->"));
        const bool fromRadio = line.startsWith(QLatin1String("<-"));
        painter.setPen(toRadio     ? QColor(0x9c, 0xdc, 0xfe)
                       : fromRadio ? QColor(0xb5, 0xe8, 0x9a)
                                   : QColor(0xd4, 0xd4, 0xd4));
        painter.drawText(margin, y, line);
        y += metrics.lineSpacing();
    }
    return image;
}

int fail(const char *what)
{
    std::fprintf(stderr, "tmx9-shots: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    displayscaling::setUp();
    QApplication app(argc, argv);
    if (argc != 2)
        return fail("usage: tmx9-shots OUTDIR | tmx9-shots --check");
    const bool checkOnly = qstrcmp(argv[1], "--check") == 0;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!checkOnly && !QDir().mkpath(out.path()))
        return fail("cannot create the output folder");

    // Only the simulated radio in the list: the pictures must not depend on this machine.
    serialports::setCandidateSource([] { return QStringList(); });

    QBuffer log;
    log.open(QIODevice::WriteOnly);
    tmx9demo::DemoSession demo;
    QString error;
    if (!demo.start(&log, &error))
        return fail(qPrintable(error));
    MainWindow &window = demo.window();
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return fail("the window was not shown");
    QTest::qWait(50);

    BoxCloser boxes;
    // Clicked without the mouse, which stays in a corner of the screen, away from the window: the
    // pictures should show no widget hovered.
    auto click = [&](const char *name) {
        window.findChild<QPushButton *>(QLatin1String(name))->click();
    };
    // New texts may make the window grow, and the X server answers that in its own time: until
    // it has, the layout squeezes them. A text still cut after five seconds stays cut.
    auto grab = [&] {
        if (QWidget *focused = QApplication::focusWidget())
            focused->clearFocus();
        QTest::qWait(50);
        (void)QTest::qWaitFor([&] { return textfit::cutTexts(window).isEmpty(); }, 5000);
        return window.grab().toImage();
    };
    // A picture that shows a text cut is not how users see the window: it is not saved.
    bool allWhole = true;
    const auto keep = [&](const QImage &image, const char *language, const QString &name) {
        const QStringList cut = textfit::cutTexts(window);
        if (!cut.isEmpty()) {
            std::fprintf(stderr, "tmx9-shots: the %s window cuts: %s\n", language,
                         qPrintable(cut.join(QStringLiteral(", "))));
            allWhole = false;
        }
        return checkOnly || !cut.isEmpty() || savePng(image, out.filePath(name));
    };

    click("open_port"); // opening reads the configuration
    if (!boxes.waitFor(QStringLiteral("读取完成")))
        return fail("the read did not complete");
    if (!keep(grab(), "Chinese", QStringLiteral("window-zh.png")))
        return fail("cannot write window-zh.png under 150 KB");

    click("open_port_3");
    if (!boxes.waitFor(QStringLiteral("写入完成")))
        return fail("the write did not complete");

    window.findChild<QCheckBox *>(QStringLiteral("checkBox"))->setChecked(true);
    if (!keep(grab(), "English", QStringLiteral("window-en.png")))
        return fail("cannot write window-en.png under 150 KB");

    if (checkOnly) {
        // The boxes in English too, and the warning about a frequency out of range.
        click("open_port_2");
        if (!boxes.waitFor(QStringLiteral("Read completed")))
            return fail("the read in English did not complete");
        window.findChild<QLineEdit *>(QStringLiteral("lineEdit1"))->setText(QStringLiteral("999"));
        click("open_port_3");
        if (!boxes.waitFor(QStringLiteral("lineEdit1: Frequency")))
            return fail("no warning about the frequency 999");
        // What the X server holds, in the display's own pixels.
        const QSize size = QGuiApplication::primaryScreen()->grabWindow(window.winId()).size();
        std::printf("window %dx%d px, scale %g\n", size.width(), size.height(),
                    window.devicePixelRatioF());
    }
    if (!boxes.cut().isEmpty()) {
        std::fprintf(stderr, "tmx9-shots: message boxes cut: %s\n",
                     qPrintable(boxes.cut().join(QStringLiteral(", "))));
        allWhole = false;
    }
    if (!allWhole)
        return fail("texts cut");
    if (checkOnly)
        return 0;

    const QStringList lines = wrapLog(QString::fromUtf8(log.data()));
    if (!savePng(renderText(lines), out.filePath(QStringLiteral("traffic.png"))))
        return fail("cannot write traffic.png under 150 KB");
    return 0;
}
