#include "PortDevices.h"

#include <QtGlobal>

PortLookup systemPortLookup()
{
    return [](int port) -> QString {
        if (port < kLowestPort || port > kHighestPort)
            return {};
#ifdef Q_OS_WIN
        return QStringLiteral("COM%1").arg(port);
#else
        const QString chosen = qEnvironmentVariable(qPrintable(QStringLiteral("QX50_COM%1").arg(port)));
        if (!chosen.isEmpty())
            return chosen;
        return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
    };
}
