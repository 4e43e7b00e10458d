#pragma once

// RFC 2217, the telnet COM-PORT-OPTION: the codes of the serial-port commands a
// client sends inside a telnet subnegotiation, and the values they carry. Shared by
// the network line and by qx50-sim's server, so both speak from one table. Plain C++:
// the simulator has no Qt.

#include <cstdint>

namespace rfc2217 {

// The telnet option number.
inline constexpr std::uint8_t kComPortOption = 44;

// Client-to-server commands; the server answers with the same command plus
// kServerOffset and the value it put in force.
enum Command : std::uint8_t {
    Signature = 0,
    SetBaudRate = 1, // 4 bytes, network order
    SetDataSize = 2, // 5 to 8
    SetParity = 3, // Parity
    SetStopSize = 4, // StopSize
    SetControl = 5, // Control
    NotifyLineState = 6,
    NotifyModemState = 7,
    FlowControlSuspend = 8,
    FlowControlResume = 9,
    SetLineStateMask = 10,
    SetModemStateMask = 11,
    PurgeData = 12,
};
inline constexpr std::uint8_t kServerOffset = 100;

enum Parity : std::uint8_t { ParityNone = 1, ParityOdd = 2, ParityEven = 3, ParityMark = 4, ParitySpace = 5 };
enum StopSize : std::uint8_t { StopOne = 1, StopTwo = 2, StopOneAndHalf = 3 };
enum Control : std::uint8_t {
    NoFlowControl = 1,
    DtrOn = 8,
    DtrOff = 9,
    RtsOn = 11,
    RtsOff = 12,
};

struct Named {
    std::uint8_t code;
    const char *name;
};

inline constexpr Named kCommandNames[] = {
    {Signature, "SIGNATURE"},
    {SetBaudRate, "SET-BAUDRATE"},
    {SetDataSize, "SET-DATASIZE"},
    {SetParity, "SET-PARITY"},
    {SetStopSize, "SET-STOPSIZE"},
    {SetControl, "SET-CONTROL"},
    {NotifyLineState, "NOTIFY-LINESTATE"},
    {NotifyModemState, "NOTIFY-MODEMSTATE"},
    {FlowControlSuspend, "FLOWCONTROL-SUSPEND"},
    {FlowControlResume, "FLOWCONTROL-RESUME"},
    {SetLineStateMask, "SET-LINESTATE-MASK"},
    {SetModemStateMask, "SET-MODEMSTATE-MASK"},
    {PurgeData, "PURGE-DATA"},
};

inline constexpr Named kParityNames[] = {
    {ParityNone, "NONE"}, {ParityOdd, "ODD"}, {ParityEven, "EVEN"}, {ParityMark, "MARK"}, {ParitySpace, "SPACE"},
};

inline constexpr Named kStopSizeNames[] = {{StopOne, "1"}, {StopTwo, "2"}, {StopOneAndHalf, "1.5"}};

inline constexpr Named kControlNames[] = {
    {NoFlowControl, "NO-FLOW-CONTROL"}, {DtrOn, "DTR-ON"}, {DtrOff, "DTR-OFF"}, {RtsOn, "RTS-ON"}, {RtsOff, "RTS-OFF"},
};

// The name of a code in one of the tables above, or nullptr.
template <auto &Table>
constexpr const char *nameOf(std::uint8_t code)
{
    for (const Named &entry : Table)
        if (entry.code == code)
            return entry.name;
    return nullptr;
}

// The RFC 2217 value for a parity letter of a settings text (N, O, E, M, S).
constexpr Parity parityOf(char letter)
{
    switch (letter) {
    case 'O': return ParityOdd;
    case 'E': return ParityEven;
    case 'M': return ParityMark;
    case 'S': return ParitySpace;
    default: return ParityNone;
    }
}

} // namespace rfc2217
