#include "displayscaling.h"

#include <QGuiApplication>

namespace displayscaling {

// Qt sizes fonts by the display's DPI but keeps the form's pixel geometry unless its scaling is
// on: at 125 % and above the texts outgrow their widgets. Passed through, 125 % stays 1.25 rather
// than becoming 1 or 2. Users keep the last word, as Qt documents: QT_ENABLE_HIGHDPI_SCALING=0
// turns the scaling off, QT_SCALE_FACTOR_ROUNDING_POLICY replaces the policy and QT_SCALE_FACTOR
// multiplies the factor.
void setUp()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

} // namespace displayscaling
