#include "SerialLine.h"

#include "LocalLine.h"

std::unique_ptr<SerialLine> makeSerialLine(const QString & /*device*/, QObject *parent)
{
    return std::make_unique<LocalLine>(parent);
}
