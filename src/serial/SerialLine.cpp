#include "SerialLine.h"

#include "LocalLine.h"
#include "NetworkAddress.h"
#include "NetworkLine.h"

std::unique_ptr<SerialLine> makeSerialLine(const QString &device, QObject *parent)
{
    if (NetworkAddress::isNetworkName(device))
        return std::make_unique<NetworkLine>(parent);
    return std::make_unique<LocalLine>(parent);
}
