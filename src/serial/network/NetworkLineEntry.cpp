// The network line module's entry, called by the serial layer's line factory.
#include "NetworkLine.h"
#include "NetworkLineModule.h"

extern "C" {

Q_DECL_EXPORT extern const int qx50_network_line_interface;
const int qx50_network_line_interface = NetworkLineModule::kInterface;

Q_DECL_EXPORT SerialLine *qx50_make_network_line(QObject *parent)
{
    return new NetworkLine(parent);
}

} // extern "C"
