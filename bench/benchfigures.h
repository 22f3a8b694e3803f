#pragma once

#include "measure.h"

#include <QVector>

#include <algorithm>

// What the benchmark programs share beside the process figures.
namespace bench {

using measure::monotonicNs;
using measure::peakRssKb;
using measure::processCpuMs;

inline double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int mid = values.size() / 2;
    return values.size() % 2 ? values.at(mid) : (values.at(mid - 1) + values.at(mid)) / 2;
}

} // namespace bench
