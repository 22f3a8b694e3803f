// The window as built: object tree, start-up state, slot table, validator, texts, option rules.
#include <QBoxLayout>
#include <QCheckBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMetaMethod>
#include <QSpacerItem>
#include <QStatusBar>
#include <QTest>

#include "windowdriver.h"

namespace {

struct Placement
{
    const char *name;
    const char *className;
    const char *parent; // parent widget's object name
    const char *layout; // object name of the layout holding it
    int row, column, rowSpan, columnSpan;
};

// Every widget of the form in creation order (box-layout entries use row = index).
const Placement kForm[] = {
    {"lineEdit7", "QLineEdit", "centralwidget", "gridLayout_2", 6, 1, 1, 1},
    {"label_21", "QLabel", "centralwidget", "gridLayout_2", 9, 0, 1, 1},
    {"lineEdit3", "QLineEdit", "centralwidget", "gridLayout_2", 2, 1, 1, 1},
    {"label_17", "QLabel", "centralwidget", "gridLayout_2", 7, 0, 1, 1},
    {"lineEdit10", "QLineEdit", "centralwidget", "gridLayout_2", 9, 1, 1, 1},
    {"label_16", "QLabel", "centralwidget", "gridLayout_2", 5, 0, 1, 1},
    {"lineEdit4", "QLineEdit", "centralwidget", "gridLayout_2", 3, 1, 1, 1},
    {"label_15", "QLabel", "centralwidget", "gridLayout_2", 2, 0, 1, 1},
    {"lineEdit9", "QLineEdit", "centralwidget", "gridLayout_2", 8, 1, 1, 1},
    {"label_18", "QLabel", "centralwidget", "gridLayout_2", 4, 0, 1, 1},
    {"label_20", "QLabel", "centralwidget", "gridLayout_2", 8, 0, 1, 1},
    {"label_13", "QLabel", "centralwidget", "gridLayout_2", 0, 0, 1, 1},
    {"lineEdit1", "QLineEdit", "centralwidget", "gridLayout_2", 0, 1, 1, 1},
    {"lineEdit5", "QLineEdit", "centralwidget", "gridLayout_2", 4, 1, 1, 1},
    {"lineEdit6", "QLineEdit", "centralwidget", "gridLayout_2", 5, 1, 1, 1},
    {"lineEdit8", "QLineEdit", "centralwidget", "gridLayout_2", 7, 1, 1, 1},
    {"label_14", "QLabel", "centralwidget", "gridLayout_2", 3, 0, 1, 1},
    {"label_19", "QLabel", "centralwidget", "gridLayout_2", 6, 0, 1, 1},
    {"lineEdit2", "QLineEdit", "centralwidget", "gridLayout_2", 1, 1, 1, 1},
    {"label_12", "QLabel", "centralwidget", "gridLayout_2", 1, 0, 1, 1},
    {"widget_2", "QWidget", "centralwidget", "gridLayout_4", 0, 0, 1, 1},
    {"baud", "QComboBox", "widget_2", "gridLayout", 1, 2, 1, 1},
    {"label_3", "QLabel", "widget_2", "gridLayout", 1, 0, 1, 1},
    {"label_2", "QLabel", "widget_2", "gridLayout", 0, 0, 1, 2},
    {"com", "QComboBox", "widget_2", "gridLayout", 0, 2, 1, 1},
    {"widget", "QWidget", "centralwidget", "gridLayout_4", 0, 1, 1, 1},
    {"open_port", "QPushButton", "widget", "verticalLayout", 0, 0, 1, 1},
    {"refreshSerial", "QPushButton", "widget", "verticalLayout", 1, 0, 1, 1},
    {"label_11", "QLabel", "centralwidget", "gridLayout_3", 9, 0, 1, 1},
    {"com_3", "QComboBox", "centralwidget", "gridLayout_3", 1, 1, 1, 1},
    {"label_22", "QLabel", "centralwidget", "gridLayout_3", 6, 0, 1, 1},
    {"label_10", "QLabel", "centralwidget", "gridLayout_3", 8, 0, 1, 1},
    {"label_6", "QLabel", "centralwidget", "gridLayout_3", 2, 0, 1, 1},
    {"lineEditAPP", "QLineEdit", "centralwidget", "gridLayout_3", 9, 1, 1, 1},
    {"lineEditSN", "QLineEdit", "centralwidget", "gridLayout_3", 8, 1, 1, 1},
    {"com_6", "QComboBox", "centralwidget", "gridLayout_3", 4, 1, 1, 1},
    {"com_8", "QComboBox", "centralwidget", "gridLayout_3", 6, 1, 1, 1},
    {"label_4", "QLabel", "centralwidget", "gridLayout_3", 0, 0, 1, 1},
    {"com_7", "QComboBox", "centralwidget", "gridLayout_3", 5, 1, 1, 1},
    {"com_5", "QComboBox", "centralwidget", "gridLayout_3", 3, 1, 1, 1},
    {"label_7", "QLabel", "centralwidget", "gridLayout_3", 3, 0, 1, 1},
    {"com_2", "QComboBox", "centralwidget", "gridLayout_3", 0, 1, 1, 1},
    {"label_8", "QLabel", "centralwidget", "gridLayout_3", 4, 0, 1, 1},
    {"label_9", "QLabel", "centralwidget", "gridLayout_3", 5, 0, 1, 1},
    {"label_5", "QLabel", "centralwidget", "gridLayout_3", 1, 0, 1, 1},
    {"com_4", "QComboBox", "centralwidget", "gridLayout_3", 2, 1, 1, 1},
    {"label_25", "QLabel", "centralwidget", "gridLayout_3", 7, 0, 1, 1},
    {"com_9", "QComboBox", "centralwidget", "gridLayout_3", 7, 1, 1, 1},
    {"open_port_2", "QPushButton", "centralwidget", "horizontalLayout", 0, 0, 1, 1},
    {"open_port_3", "QPushButton", "centralwidget", "horizontalLayout", 1, 0, 1, 1},
    {"open_port_4", "QPushButton", "centralwidget", "gridLayout_5", 4, 2, 1, 1},
    {"checkBox", "QCheckBox", "centralwidget", "gridLayout_5", 5, 2, 1, 1},
    {"label_23", "QLabel", "centralwidget", "gridLayout_5", 2, 0, 1, 3},
    {"label_24", "QLabel", "centralwidget", "gridLayout_5", 3, 0, 1, 3},
};

// Nested layouts: name, holder, cell.
struct NestedLayout
{
    const char *name;
    const char *className;
    const char *holder;
    int row, column, rowSpan, columnSpan;
};
const NestedLayout kLayouts[] = {
    {"gridLayout_5", "QGridLayout", "gridLayout_6", 0, 0, 1, 1},
    {"gridLayout_2", "QGridLayout", "gridLayout_5", 0, 2, 2, 1},
    {"gridLayout_4", "QGridLayout", "gridLayout_5", 0, 0, 1, 1},
    {"gridLayout_3", "QGridLayout", "gridLayout_5", 1, 0, 1, 1},
    {"horizontalLayout", "QHBoxLayout", "gridLayout_5", 4, 0, 1, 1},
};

struct Cell
{
    int row = -1, column = -1, rowSpan = -1, columnSpan = -1;
    bool operator==(const Cell &o) const
    {
        return row == o.row && column == o.column && rowSpan == o.rowSpan &&
               columnSpan == o.columnSpan;
    }
};

Cell cellOf(QLayout *layout, int index)
{
    Cell cell;
    if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
        grid->getItemPosition(index, &cell.row, &cell.column, &cell.rowSpan, &cell.columnSpan);
    } else if (index >= 0) {
        cell = {index, 0, 1, 1};
    }
    return cell;
}

const QStringList kChannelEdits = {"lineEdit1", "lineEdit2", "lineEdit3", "lineEdit4",
                                   "lineEdit5", "lineEdit6", "lineEdit7", "lineEdit8",
                                   "lineEdit9", "lineEdit10"};

} // namespace

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void widgetsInPlace()
    {
        WindowDriver driver;
        MainWindow &w = driver.window();
        QWidget *central = w.centralWidget();
        QCOMPARE(central->objectName(), QStringLiteral("centralwidget"));
        QCOMPARE(central->layout()->objectName(), QStringLiteral("gridLayout_6"));

        QStringList creationOrder;
        for (const Placement &p : kForm) {
            auto *widget = w.findChild<QWidget *>(QLatin1String(p.name));
            QVERIFY2(widget, p.name);
            QCOMPARE(widget->metaObject()->className(), p.className);
            QCOMPARE(widget->parentWidget()->objectName(), QLatin1String(p.parent));
            auto *layout = w.findChild<QLayout *>(QLatin1String(p.layout));
            QVERIFY2(layout, p.layout);
            const Cell expected{p.row, p.column, p.rowSpan, p.columnSpan};
            QVERIFY2(cellOf(layout, layout->indexOf(widget)) == expected, p.name);
            creationOrder << QLatin1String(p.name);
        }
        for (const NestedLayout &n : kLayouts) {
            auto *layout = w.findChild<QLayout *>(QLatin1String(n.name));
            QVERIFY2(layout, n.name);
            QCOMPARE(layout->metaObject()->className(), n.className);
            auto *holder = w.findChild<QLayout *>(QLatin1String(n.holder));
            int index = -1;
            for (int i = 0; i < holder->count(); ++i)
                if (holder->itemAt(i)->layout() == layout)
                    index = i;
            const Cell expected{n.row, n.column, n.rowSpan, n.columnSpan};
            QVERIFY2(cellOf(holder, index) == expected, n.name);
        }

        // The spacer sits between the port area and the channel table.
        auto *main = w.findChild<QGridLayout *>(QStringLiteral("gridLayout_5"));
        QSpacerItem *spacer = main->itemAtPosition(0, 1)->spacerItem();
        QVERIFY(spacer);
        QCOMPARE(spacer->sizeHint(), QSize(40, 20));
        QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);

        // No layout sets margins of its own: each layout on a widget takes the style's.
        for (QLayout *layout : central->findChildren<QLayout *>()) {
            if (layout->parent() != layout->parentWidget())
                continue; // a nested layout has none
            const int m = w.style()->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr,
                                                 layout->parentWidget());
            QVERIFY2(m > 0 && layout->contentsMargins() == QMargins(m, m, m, m),
                     qPrintable(layout->objectName()));
        }

        // Children of each container appear in creation order.
        QStringList actual;
        for (QObject *child : central->children())
            if (child->isWidgetType())
                actual << child->objectName();
        QStringList expectedCentral;
        for (const Placement &p : kForm)
            if (QLatin1String(p.parent) == QLatin1String("centralwidget"))
                expectedCentral << QLatin1String(p.name);
        QCOMPARE(actual, expectedCentral);

        QVERIFY(!w.findChild<QObject *>(QStringLiteral("open_port_5")));
        QCOMPARE(w.menuBar()->objectName(), QStringLiteral("menubar"));
        QVERIFY(w.menuBar()->actions().isEmpty());
        QCOMPARE(w.statusBar()->objectName(), QStringLiteral("statusbar"));
        QCOMPARE(w.objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(w.findChild<QComboBox *>("com_3")->minimumSize(), QSize(0, 0));
    }

    void tabOrderFollowsCreation()
    {
        WindowDriver driver;
        QWidget *from = driver.channelEdit(7);
        QStringList next;
        for (QWidget *w = from->nextInFocusChain(); next.size() < 2; w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus)
                next << w->objectName();
        QCOMPARE(next, QStringList({"lineEdit3", "lineEdit10"}));
    }

    void startUpState()
    {
        WindowDriver driver;
        MainWindow &w = driver.window();
        QCOMPARE(w.size(), QSize(600, 500));
        QCOMPARE(w.minimumSize(), QSize(600, 500));
        QCOMPARE(w.maximumSize(), QSize(1000, 800));
        QCOMPARE(w.windowTitle(), QStringLiteral("TMX9_Config_V0.0.2_20240325"));
        QVERIFY(w.testAttribute(Qt::WA_QuitOnClose));

        for (const char *name : {"open_port_2", "open_port_3", "open_port_4"}) {
            QVERIFY2(!driver.button(name)->isEnabled(), name);
            QVERIFY2(driver.button(name)->isCheckable(), name);
        }
        QVERIFY(driver.button("open_port")->isCheckable());
        QVERIFY(!driver.button("refreshSerial")->isCheckable());
        for (const char *name : {"com", "baud", "open_port", "refreshSerial"})
            QVERIFY2(w.findChild<QWidget *>(name)->isEnabled(), name);
        QCOMPARE(driver.combo("com")->count(), 0);

        const QList<QPair<const char *, QStringList>> items = {
            {"baud", {"115200", "4800", "9600", "19200", "38400"}},
            {"com_2", {"LORA", "FSK"}},
            {"com_3", {"Transparent", "TT450S", "MAC", "South"}},
            {"com_4", {"H", "L"}},
            {"com_5", {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
            {"com_6", {"11000", "18000", "6000", "3500", "9600", "19200"}},
            {"com_7", {"115200", "38400", "19200", "9600"}},
            {"com_8", {"disable", "enable"}},
            {"com_9", {"TX", "RX"}},
        };
        for (const auto &[name, texts] : items) {
            QComboBox *combo = driver.combo(name);
            QStringList actual;
            for (int i = 0; i < combo->count(); ++i)
                actual << combo->itemText(i);
            QCOMPARE(actual, texts);
            QCOMPARE(combo->currentIndex(), 0);
            QVERIFY(!combo->isEditable());
        }
        QVERIFY(driver.combo("com_9")->isEnabled());
        for (int n = 1; n <= 10; ++n)
            QVERIFY(driver.channelEdit(n)->text().isEmpty());
        QVERIFY(!englishMode);
        QCOMPARE(driver.button("open_port")->text(), QStringLiteral("打开串口"));
    }

    void slotTable()
    {
        WindowDriver driver;
        const QMetaObject *meta = driver.window().metaObject();
        QCOMPARE(meta->className(), "MainWindow");
        const QByteArrayList expected = {
            "on_open_port_2_clicked()",
            "on_open_port_clicked()",
            "sleep(int)",
            "on_refreshSerial_clicked()",
            "Read_Date()",
            "on_open_port_4_clicked()",
            "on_open_port_3_clicked()",
            "on_open_port_5_clicked()",
            "on_checkBox_stateChanged(int)",
            "onTimeout()",
            "on_com_2_currentTextChanged(QString)",
            "on_com_6_currentTextChanged(QString)",
        };
        QCOMPARE(meta->methodCount() - meta->methodOffset(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const QMetaMethod method = meta->method(meta->methodOffset() + i);
            QCOMPARE(method.methodSignature(), expected.at(i));
            QCOMPARE(method.access(), QMetaMethod::Private);
            QCOMPARE(method.methodType(), QMetaMethod::Slot);
            QCOMPARE(method.returnType(), int(QMetaType::Void));
        }
    }

    void validatorOnChannelEditsOnly()
    {
        WindowDriver driver;
        auto *shared = qobject_cast<const QDoubleValidator *>(driver.channelEdit(1)->validator());
        QVERIFY(shared);
        QCOMPARE(shared->parent(), &driver.window());
        QCOMPARE(shared->bottom(), 200.0);
        QCOMPARE(shared->top(), 500.0);
        QCOMPARE(shared->decimals(), 4);
        QCOMPARE(shared->notation(), QDoubleValidator::StandardNotation);
        for (int n = 2; n <= 10; ++n)
            QCOMPARE(driver.channelEdit(n)->validator(), shared);
        QVERIFY(!driver.edit("lineEditSN")->validator());
        QVERIFY(!driver.edit("lineEditAPP")->validator());

        QLineEdit *edit = driver.channelEdit(1);
        QTest::keyClicks(edit, "454.12345");
        QCOMPARE(edit->text(), QStringLiteral("454.1234")); // a fifth decimal cannot be typed
        edit->clear();
        QTest::keyClicks(edit, "4e2");
        QVERIFY(!edit->hasAcceptableInput());
        edit->clear();
        QTest::keyClicks(edit, "600");
        QVERIFY(!edit->hasAcceptableInput());
        edit->clear();
        QTest::keyClicks(edit, "500");
        QVERIFY(edit->hasAcceptableInput());

        QTest::keyClicks(driver.edit("lineEditSN"), "any text 1e9!");
        QCOMPARE(driver.edit("lineEditSN")->text(), QStringLiteral("any text 1e9!"));
    }
};

QTEST_MAIN(FormTest)
#include "tst_form.moc"
