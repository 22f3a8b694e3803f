#pragma once

#include "profile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace tmx9ctl {

// Decodes the two answers to a read request (lines without CR LF). nullopt, with `problem` set,
// when they hold no configuration: a parameter response too short for its length byte, or a
// channel table with fewer than ten usable records. Codes outside the options give null texts.
std::optional<Configuration> decodeConfiguration(const QByteArray &parameterLine,
                                                 const QByteArray &tableLine, QString *problem);

// Profile keys whose value the radio reported as a code that is none of the options. An older
// radio's modulation is never reported, and is not listed.
QStringList undecodedFields(const Configuration &configuration);

// Profile keys of the frequencies the radio reports outside what a profile may hold (200.0000 to
// 500.0000 MHz): "frequencies[3] (channel 3)".
QStringList frequenciesOutOfRange(const Configuration &configuration);

struct Comparison
{
    QStringList differences; // "key: wrote \"X\", radio reports \"Y\"" (`expectedAs` "wrote")
    QStringList unchecked;   // keys an older radio cannot report
};

// Field by field, what was written (or what a profile holds) against what the radio reports.
// An older radio reports no modulation, and of the air baud rates only 11000 and 18000: what it
// cannot report is not compared but listed as unchecked.
Comparison compareConfiguration(const tmx9::RadioSettings &expected, const Configuration &readBack,
                                const QString &expectedAs = QStringLiteral("wrote"));

// "; not checked, an older radio does not report them: modulation", or nothing.
QString uncheckedNote(const Comparison &comparison);

} // namespace tmx9ctl
