#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// Hamlib's rigctld text protocol as its clients speak it: one command per line, in
// the long form ("\send_voice_mem 3") or the short form (one command byte, "f",
// "F 14074000", or 0x94 for send_voice_mem), optionally led by a punctuation
// character that asks for the extended response ("+\send_voice_mem 3").
// No sockets here: bytes in, commands and answers out.
namespace rigctl {

// Hamlib's error codes as rigctld reports them ("RPRT -4").
enum Code : int {
    Ok = 0,
    InvalidArgument = -1, // RIG_EINVAL
    NotImplemented = -4, // RIG_ENIMPL
    IoError = -6, // RIG_EIO
    Rejected = -9, // RIG_ERJCTED
    BusBusy = -14, // RIG_BUSBUSY
};

enum class Kind { SendVoiceMem, StopVoiceMem, CheckVfo, DumpState, Quit, Other };

struct Command {
    QByteArray line; // as received, line ending included: what an upstream gets
    Kind kind = Kind::Other;
    QByteArray name; // the long name for the commands known here, else as sent
    QList<QByteArray> args;
    char separator = 0; // 0: the default protocol; else the extended one's separator
};

// One line (without its ending) read as a command; nullopt for a blank line.
std::optional<Command> parseLine(const QByteArray &line);

// The memory of a send_voice_mem command, 0 to 9; nullopt for anything else.
std::optional<int> voiceMemory(const Command &command);

// The answer that ends with a result code: "RPRT n" alone in the default protocol;
// in the extended one the echoed command and any values, each closed by the separator.
QByteArray report(const Command &command, int code, const QList<QByteArray> &values = {});

// The values a get-style command answers with (chk_vfo, dump_state): the lines alone
// in the default protocol, echoed and closed with "RPRT 0" in the extended one.
QByteArray values(const Command &command, const QList<QByteArray> &lines);

// Splits a client's bytes into lines. A line longer than kMaxLine is no command: the
// reader drops it up to its end and says so once, so memory stays bounded.
class LineReader {
public:
    static constexpr qsizetype kMaxLine = 4096;

    struct Line {
        QByteArray text; // without the line ending
        QByteArray raw; // with it, as received
        bool overlong = false;
    };

    void feed(const QByteArray &bytes) { m_pending += bytes; }
    // The bytes fed and not yet read as lines.
    qsizetype held() const { return m_pending.size(); }
    std::optional<Line> next();

private:
    QByteArray m_pending;
    bool m_skipping = false;
};

} // namespace rigctl
