#pragma once

#include <QString>

#include <memory>

class QObject;
class SerialLine;

// The network line (NetworkLine.h) lives in a module of its own, loaded the first
// time a port names a network address: a run with only local ports never loads Qt
// Network, libtelnet or what they stand on.
namespace NetworkLineModule {

// The module's file name, looked for only beside the executable (links resolved).
inline constexpr auto kFileName = "orma-qx50-networkline.so";

// The module's entry: a new network line, owned by the caller.
inline constexpr auto kEntryName = "qx50_make_network_line";
// The module answers kInterface here; a module built for another version of the
// serial layer is refused rather than called.
inline constexpr auto kInterfaceName = "qx50_network_line_interface";
inline constexpr int kInterface = 1;

// A network line from the module. When the module cannot be loaded, the line
// returned refuses every opening with the reason, naming the module's file.
std::unique_ptr<SerialLine> makeLine(QObject *parent);

} // namespace NetworkLineModule
