// The real window as tmx9-config.exe starts it (the same scaling set-up, Qt's Windows platform),
// at whatever DPI the display has: run.sh sets it under Wine. Prints the window's client area in
// the display's pixels and every text it cuts, in Chinese and in English, and in its message
// boxes: an information box (opening TMX9_WINE_PORT reads the radio) and the warning about a
// frequency out of range. Exit status 1 when a text is cut or a box does not come.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <windows.h>

#include "displayscaling.h"
#include "mainwindow.h"
#include "textfit.h"

namespace {

QStringList cut;

void judge(const QWidget &widget, const QString &what)
{
    for (const QString &text : textfit::cutTexts(widget))
        cut << what + QStringLiteral(": ") + text;
}

// Judges and closes each message box as it appears; counts them.
class BoxJudge : public QObject
{
public:
    BoxJudge()
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            judge(*box, what + QStringLiteral(" box \"") + box->text() + QLatin1Char('"'));
            box->accept();
            ++count;
        });
        timer_.start(10);
    }
    // Clicks `button` and waits for the box it brings up, now or once the radio answered.
    bool after(QPushButton *button)
    {
        const int before = count;
        button->click();
        return QTest::qWaitFor([&] { return count > before; }, 8000);
    }
    QString what;
    int count = 0;

private:
    QTimer timer_;
};

// Changed texts lay the window out again on the next turn of the event loop.
void judgeWindow(const QWidget &window, const QString &what)
{
    QTest::qWait(50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    judge(window, what);
}

} // namespace

int main(int argc, char *argv[])
{
    displayscaling::setUp();
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    const auto button = [&](const char *name) {
        return window.findChild<QPushButton *>(QLatin1String(name));
    };
    auto *com = window.findChild<QComboBox *>(QStringLiteral("com"));
    com->setCurrentIndex(com->findText(qEnvironmentVariable("TMX9_WINE_PORT")));

    BoxJudge boxJudge;
    bool boxes = true;
    judgeWindow(window, boxJudge.what = QStringLiteral("Chinese"));
    boxes &= boxJudge.after(button("open_port"));
    window.findChild<QCheckBox *>(QStringLiteral("checkBox"))->setChecked(true);
    judgeWindow(window, boxJudge.what = QStringLiteral("English"));
    boxes &= boxJudge.after(button("open_port_2"));
    window.findChild<QLineEdit *>(QStringLiteral("lineEdit1"))->setText(QStringLiteral("999"));
    boxes &= boxJudge.after(button("open_port_3"));

    RECT client;
    GetClientRect(reinterpret_cast<HWND>(window.winId()), &client);
    std::printf("window %ldx%ld px, scale %g, platform %s\n", client.right - client.left,
                client.bottom - client.top, window.devicePixelRatioF(),
                qUtf8Printable(QGuiApplication::platformName()));
    for (const QString &text : cut)
        std::printf("cut: %s\n", qUtf8Printable(text));
    if (!boxes)
        std::printf("a message box did not come\n");
    return cut.isEmpty() && boxes ? 0 : 1;
}
