// Display texts in two languages and the language switch.
#include <QCheckBox>
#include <QLabel>
#include <QSet>
#include <QTest>
#include <QTranslator>

#include "ptypeer.h"
#include "windowdriver.h"

namespace {

// name, Chinese text, English text, in the order the switch writes them
struct Caption
{
    const char *name;
    const char *chinese;
    const char *english;
};
const Caption kCaptions[] = {
    {"open_port", "打开串口", "Open SerialPort"},
    {"refreshSerial", "刷新串口", "Refresh SerialPort"},
    {"open_port_2", "读取配置", "Read Config"},
    {"open_port_3", "写入配置", "Write Config"},
    {"open_port_4", "写入默认", "Write default Configuration"},
    {"label_2", "端口号", "COM"},
    {"label_3", "波特率", "Baud Rate"},
    {"label_4", "调制方式", "Modulation Type"},
    {"label_5", "协议类型", "Protocol"},
    {"label_6", "功率", "Power"},
    {"label_7", "当前信道", "Channel"},
    {"label_8", "空中波特率", "Air BaudRate"},
    {"label_9", "串口波特率", "SerialPort BaudRate"},
    {"label_10", "SN号", "SN"},
    {"label_11", "固件版本", "Firmware Version"},
    {"label_22", "中继", "Repeater"},
    {"label_23", "固件版本1.1.8及之后支持FSK调制,工作模式为半双工",
     "Firmware versions 1.1.8 and later support FSK modulation and work mode in half duplex mode"},
    {"label_24", "固件版本1.1.9及之后LORA支持6000,3500bps",
     "Firmware version 1.1.9 and later LORA supports 6000,3500bps"},
    {"label_25", "工作模式", "Work Mode"},
    {"label_13", "0信道", "0 Channel"},
    {"label_12", "1信道", "1 Channel"},
    {"label_15", "2信道", "2 Channel"},
    {"label_14", "3信道", "3 Channel"},
    {"label_18", "4信道", "4 Channel"},
    {"label_16", "5信道", "5 Channel"},
    {"label_19", "6信道", "6 Channel"},
    {"label_17", "7信道", "7 Channel"},
    {"label_20", "8信道", "8 Channel"},
    {"label_21", "9信道", "9 Channel"},
};

QString textOf(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    return qobject_cast<QAbstractButton *>(widget)->text();
}

// Everything that is not a text: selections, edits, enabled states.
QStringList formState(MainWindow &w)
{
    QStringList state;
    for (QWidget *widget : w.findChildren<QWidget *>()) {
        QString entry = widget->objectName() + (widget->isEnabled() ? "+" : "-");
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            entry += combo->currentText();
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            entry += edit->text();
        state << entry;
    }
    return state;
}

// Records what goes through QCoreApplication::translate and leaves it untranslated.
class RecordingTranslator : public QTranslator
{
public:
    QSet<QString> seen;
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        const_cast<RecordingTranslator *>(this)->seen.insert(QString::fromUtf8(context) + "|" +
                                                             QString::fromUtf8(sourceText));
        return QString();
    }
};

} // namespace

class TextsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { englishMode = false; }

    void formTextsGoThroughTranslate()
    {
        RecordingTranslator translator;
        QCoreApplication::installTranslator(&translator);
        WindowDriver driver;
        QCoreApplication::removeTranslator(&translator);

        QStringList expected = {"MainWindow", "English"};
        for (const Caption &c : kCaptions)
            expected << QString::fromUtf8(c.chinese);
        for (const char *combo :
             {"baud", "com_2", "com_3", "com_4", "com_5", "com_6", "com_7", "com_8", "com_9"})
            for (int i = 0; i < driver.combo(combo)->count(); ++i)
                expected << driver.combo(combo)->itemText(i);
        for (const QString &text : expected)
            QVERIFY2(translator.seen.contains("MainWindow|" + text), qPrintable(text));

        for (const Caption &c : kCaptions)
            QCOMPARE(textOf(driver.window().findChild<QWidget *>(c.name)),
                     QString::fromUtf8(c.chinese));
        QCOMPARE(driver.window().findChild<QCheckBox *>("checkBox")->text(),
                 QStringLiteral("English"));
    }

    void switchRewritesOnlyTexts_data()
    {
        QTest::addColumn<bool>("portOpen");
        QTest::newRow("port closed") << false;
        QTest::newRow("port open") << true;
    }

    void switchRewritesOnlyTexts()
    {
        QFETCH(bool, portOpen);
        PtyPeer radio;
        WindowDriver driver;
        MainWindow &w = driver.window();
        driver.channelEdit(3)->setText("456.0500");
        driver.combo("com_5")->setCurrentText("7");
        if (portOpen)
            driver.openPort(radio.slavePath());
        const QStringList before = formState(w);
        auto *box = w.findChild<QCheckBox *>("checkBox");

        box->setChecked(true);
        QVERIFY(englishMode);
        for (const Caption &c : kCaptions) {
            QString english = QString::fromUtf8(c.english);
            if (portOpen && QLatin1String(c.name) == QLatin1String("open_port"))
                english = QStringLiteral("Close SerialPort");
            QCOMPARE(textOf(w.findChild<QWidget *>(c.name)), english);
        }
        QCOMPARE(box->text(), QStringLiteral("English"));
        QCOMPARE(w.windowTitle(), QStringLiteral("TMX9_Config_V0.0.2_20240325"));
        QCOMPARE(formState(w), before);

        box->setChecked(false);
        QVERIFY(!englishMode);
        for (const Caption &c : kCaptions) {
            QString chinese = QString::fromUtf8(c.chinese);
            if (portOpen && QLatin1String(c.name) == QLatin1String("open_port"))
                chinese = QStringLiteral("关闭串口");
            QCOMPARE(textOf(w.findChild<QWidget *>(c.name)), chinese);
        }
        QCOMPARE(w.windowTitle(), QStringLiteral("TMX9_Config_V0.0.2_20240325"));
        QCOMPARE(formState(w), before);
    }

    void onlyAFullTickMeansEnglish()
    {
        WindowDriver driver;
        auto *box = driver.window().findChild<QCheckBox *>("checkBox");
        box->setChecked(true);
        QVERIFY(englishMode);
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
        QVERIFY(!englishMode);
        QCOMPARE(driver.button("open_port_2")->text(), QStringLiteral("读取配置"));
        QCOMPARE(driver.window().findChild<QLabel *>("label_13")->text(), QStringLiteral("0信道"));
    }
};

QTEST_MAIN(TextsTest)
#include "tst_texts.moc"
