#include "textfit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace textfit {

QStringList cutTexts(const QWidget &top)
{
    QStringList cut;
    const auto check = [&](const QWidget *w, const QString &text, bool fits) {
        if (w->isVisible() && !text.isEmpty() && !fits)
            cut << QStringLiteral("%1 \"%2\"").arg(w->objectName(), text);
    };
    // Whole in both directions: a squeezed widget cuts its text in half as surely as a narrow one.
    const auto fitsIn = [](const QWidget *w, const QRect &room, const QString &text, int flags) {
        const QRect needed = w->fontMetrics().boundingRect(room, flags, text);
        return needed.width() <= room.width() && needed.height() <= room.height();
    };
    for (const QLabel *label : top.findChildren<QLabel *>()) {
        const int wrap = label->wordWrap() ? int(Qt::TextWordWrap) : 0;
        check(label, label->text(),
              fitsIn(label, label->contentsRect(), label->text(), int(label->alignment()) | wrap));
    }
    for (const QAbstractButton *button : top.findChildren<QAbstractButton *>())
        check(button, button->text(),
              button->sizeHint().width() <= button->width() &&
                  button->fontMetrics().height() <= button->height());
    for (const QComboBox *combo : top.findChildren<QComboBox *>()) {
        if (combo->objectName() == QLatin1String("com"))
            continue;
        QStyleOptionComboBox option;
        option.initFrom(combo);
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, combo);
        check(combo, combo->currentText(),
              fitsIn(combo, field, combo->currentText(), Qt::AlignLeft | Qt::AlignVCenter));
    }
    return cut;
}

} // namespace textfit
