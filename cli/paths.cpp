#include "paths.h"

#include "messages.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace tmx9ctl {

namespace {

QString resolved(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                            : folder + QLatin1Char('/') + info.fileName();
}

} // namespace

QString portIdentity(const QString &port)
{
    // As QSerialPort turns a name into the device it opens.
#ifdef Q_OS_WIN
    const bool path =
        port.startsWith(QLatin1String("\\\\.\\")) || port.startsWith(QLatin1String("//./"));
    const QString location = path ? port.mid(4) : port;
    // COM names are not case-sensitive, nor are device paths.
    return QStringLiteral("\\\\.\\") + location.toUpper();
#else
    const bool path = port.startsWith(QLatin1Char('/')) || port.startsWith(QLatin1String("./")) ||
                      port.startsWith(QLatin1String("../"));
    return resolved(path ? port : QStringLiteral("/dev/") + port);
#endif
}

QString fileIdentity(const QString &path)
{
#ifdef Q_OS_WIN
    // "COM3" or "com3.txt" in any folder opens the port itself.
    const QString base = QFileInfo(path).completeBaseName().toUpper();
    static const QRegularExpression device(
        QStringLiteral("^(COM[0-9]+|LPT[0-9]+|CON|PRN|AUX|NUL)$"));
    if (device.match(base).hasMatch())
        return QStringLiteral("\\\\.\\") + base;
    return resolved(path).toLower();
#else
    return resolved(path);
#endif
}

bool identifyPorts(Options *options, QString *error)
{
    options->portIds.clear();
    for (const QString &port : qAsConst(options->ports)) {
        if (port.isEmpty()) {
            *error = QStringLiteral("--port: empty port name");
            return false;
        }
        const QString id = portIdentity(port);
        const int earlier = options->portIds.indexOf(id);
        if (earlier >= 0) {
            *error = port == options->ports.at(earlier)
                         ? QStringLiteral("--port %1 is given twice").arg(printable(port))
                         : QStringLiteral("--port %1 is given twice (also as %2)")
                               .arg(printable(port), printable(options->ports.at(earlier)));
            return false;
        }
        options->portIds << id;
    }
    return true;
}

bool checkOutputs(const Options &options, QString *error)
{
    struct Named
    {
        QString what;
        QString path;
        QString id;
    };
    QVector<Named> inputs;
    if (!options.profilePath.isEmpty())
        inputs.append({QStringLiteral("the profile"), options.profilePath,
                       fileIdentity(options.profilePath)});
    if (!options.fromTrace.isEmpty())
        inputs.append({QStringLiteral("the log to read (--from-trace)"), options.fromTrace,
                       fileIdentity(options.fromTrace)});
    for (int i = 0; i < options.portIds.size(); ++i)
        inputs.append(
            {QStringLiteral("a port (--port)"), options.ports.at(i), options.portIds.at(i)});
    QVector<Named> outputs;
    for (const auto &[option, path] :
         {std::pair{"--trace", options.tracePath}, std::pair{"--out", options.outPath}}) {
        if (path.isEmpty())
            continue;
        const Named output{QLatin1String(option), path, fileIdentity(path)};
        for (const Named &named : qAsConst(inputs) + outputs) {
            if (named.id == output.id) {
                *error = QStringLiteral("%1 %2 is also %3: it would be written over")
                             .arg(output.what, printable(path), named.what);
                return false;
            }
        }
        outputs.append({QLatin1String(option), path, output.id});
    }
    return true;
}

} // namespace tmx9ctl
