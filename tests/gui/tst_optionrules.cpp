// The modulation / air baud rate / work mode rules, for a user's choice and for code.
#include <QTest>

#include "windowdriver.h"

class OptionRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void chains_data()
    {
        QTest::addColumn<QString>("modulation");
        QTest::addColumn<QString>("airBaud");
        QTest::addColumn<QString>("combo");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("expectModulation");
        QTest::addColumn<QString>("expectAirBaud");

        for (const char *rate : {"11000", "18000", "6000", "3500"}) {
            QTest::addRow("FSK over LORA %s", rate) << "LORA" << rate << "com_2"
                                                    << "FSK"
                                                    << "FSK"
                                                    << "9600";
            QTest::addRow("LORA rate %s under FSK", rate) << "FSK"
                                                          << "9600"
                                                          << "com_6" << rate << "LORA" << rate;
            QTest::addRow("LORA rate %s under LORA", rate) << "LORA"
                                                           << "11000"
                                                           << "com_6" << rate << "LORA" << rate;
        }
        for (const char *rate : {"9600", "19200"}) {
            QTest::addRow("FSK keeps %s", rate) << "FSK" << rate << "com_2"
                                                << "FSK"
                                                << "FSK" << rate;
            QTest::addRow("LORA over %s", rate) << "FSK" << rate << "com_2"
                                                << "LORA"
                                                << "LORA"
                                                << "11000";
            QTest::addRow("%s under LORA", rate) << "LORA"
                                                 << "18000"
                                                 << "com_6" << rate << "FSK" << rate;
            QTest::addRow("%s under FSK", rate)
                << "FSK" << (QLatin1String(rate) == QLatin1String("9600") ? "19200" : "9600")
                << "com_6" << rate << "FSK" << rate;
        }
    }

    void chains()
    {
        QFETCH(QString, modulation);
        QFETCH(QString, airBaud);
        QFETCH(QString, combo);
        QFETCH(QString, choice);
        QFETCH(QString, expectModulation);
        QFETCH(QString, expectAirBaud);

        WindowDriver driver;
        QComboBox *mod = driver.combo("com_2");
        QComboBox *air = driver.combo("com_6");
        QComboBox *work = driver.combo("com_9");
        work->setCurrentText("RX");
        mod->setCurrentText(modulation);
        air->setCurrentText(airBaud);
        QCOMPARE(mod->currentText(), modulation);
        QCOMPARE(air->currentText(), airBaud);

        // As a user would: pick the item with the keyboard-less popup path.
        QComboBox *target = driver.combo(qPrintable(combo));
        target->setCurrentIndex(target->findText(choice));
        QCOMPARE(mod->currentText(), expectModulation);
        QCOMPARE(air->currentText(), expectAirBaud);
        QCOMPARE(work->isEnabled(), expectModulation == QLatin1String("LORA"));
        QCOMPARE(work->currentText(), QStringLiteral("RX")); // disabling keeps the selection
    }

    void orderOfCodeChangesDecides()
    {
        WindowDriver driver;
        QComboBox *mod = driver.combo("com_2");
        QComboBox *air = driver.combo("com_6");
        mod->setCurrentText("LORA");
        air->setCurrentText("9600");
        QCOMPARE(mod->currentText(), QStringLiteral("FSK"));
        QVERIFY(!driver.combo("com_9")->isEnabled());

        air->setCurrentText("19200");
        mod->setCurrentText("LORA");
        QCOMPARE(air->currentText(), QStringLiteral("11000"));
        QVERIFY(driver.combo("com_9")->isEnabled());
    }
};

QTEST_MAIN(OptionRulesTest)
#include "tst_optionrules.moc"
