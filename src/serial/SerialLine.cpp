#include "SerialLine.h"

#include "LocalLine.h"
#include "NetworkAddress.h"
#include "NetworkLineModule.h"

std::unique_ptr<SerialLine> makeSerialLine(const QString &device, QObject *parent)
{
    if (NetworkAddress::isNetworkName(device))
        return NetworkLineModule::makeLine(parent);
    return std::make_unique<LocalLine>(parent);
}
