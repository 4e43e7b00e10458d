#include "PortDevices.h"

#include "NetworkAddress.h"
#include "PortAssignments.h"

#include <QtGlobal>

QString deviceFromName(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || NetworkAddress::isNetworkName(trimmed) || trimmed.startsWith(QLatin1Char('/'))
        || trimmed.startsWith(QLatin1String("./")) || trimmed.startsWith(QLatin1String("../")))
        return trimmed;
    return QStringLiteral("/dev/") + trimmed;
}

QString portVariableName(int port)
{
    return QStringLiteral("QX50_COM%1").arg(port);
}

QString portVariable(int port)
{
    return qEnvironmentVariable(qPrintable(portVariableName(port)));
}

PortDevices PortDevices::system(const QString &assignmentsFile)
{
    return {[assignmentsFile](int port) -> QString {
                if (port < kLowestPort || port > kHighestPort)
                    return {};
#ifdef Q_OS_WIN
                return QStringLiteral("COM%1").arg(port);
#else
                if (const QString chosen = portVariable(port); !chosen.trimmed().isEmpty())
                    return deviceFromName(chosen);
                if (const QString assigned = PortAssignments(assignmentsFile).device(port); !assigned.isEmpty())
                    return deviceFromName(assigned);
                return PortAssignments::defaultDevice(port);
#endif
            },
            assignmentsFile};
}
