#include "RigctlProtocol.h"

#include "contract/CommandTable.h"

#include <cctype>

namespace rigctl {

namespace {

constexpr char kSendVoiceMemShort = static_cast<char>(0x94);

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

QList<QByteArray> words(const QByteArray &text)
{
    QList<QByteArray> out;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i]))
            ++i;
        const qsizetype start = i;
        while (i < text.size() && !isSpace(text[i]))
            ++i;
        if (i > start)
            out << text.mid(start, i - start);
    }
    return out;
}

Kind kindOfLong(const QByteArray &name)
{
    if (name == "send_voice_mem")
        return Kind::SendVoiceMem;
    if (name == "stop_voice_mem")
        return Kind::StopVoiceMem;
    if (name == "chk_vfo")
        return Kind::CheckVfo;
    if (name == "dump_state")
        return Kind::DumpState;
    if (name == "quit")
        return Kind::Quit;
    return Kind::Other;
}

// The extended protocol's first record: the long name and the arguments.
QByteArray echo(const Command &command)
{
    QByteArray out = command.name + ':';
    for (const QByteArray &arg : command.args)
        out += ' ' + arg;
    return out + (command.separator == '+' ? '\n' : command.separator);
}

char closing(const Command &command)
{
    return command.separator == '+' ? '\n' : command.separator;
}

} // namespace

std::optional<Command> parseLine(const QByteArray &line)
{
    qsizetype i = 0;
    while (i < line.size() && isSpace(line[i]))
        ++i;
    if (i == line.size())
        return std::nullopt;
    Command command;
    const char first = line[i];
    if (std::ispunct(static_cast<unsigned char>(first)) && first != '\\' && first != '?' && first != '_') {
        command.separator = first;
        ++i;
    }
    if (i < line.size() && line[i] == '\\') {
        const QList<QByteArray> parts = words(line.mid(i + 1));
        if (parts.isEmpty())
            return command; // a bare backslash: no command anyone knows
        command.name = parts.front();
        command.args = parts.mid(1);
        command.kind = kindOfLong(command.name);
    } else if (i < line.size()) {
        const char shortForm = line[i];
        command.args = words(line.mid(i + 1));
        if (shortForm == kSendVoiceMemShort) {
            command.name = "send_voice_mem";
            command.kind = Kind::SendVoiceMem;
        } else if (shortForm == 'q' || shortForm == 'Q') {
            command.name = "quit";
            command.kind = Kind::Quit;
        } else {
            command.name = QByteArray(1, shortForm);
        }
    }
    return command;
}

std::optional<int> voiceMemory(const Command &command)
{
    if (command.kind != Kind::SendVoiceMem || command.args.size() != 1)
        return std::nullopt;
    const QByteArray &arg = command.args.front();
    return CommandTable::memoryOf(QString::fromLatin1(arg));
}

QByteArray report(const Command &command, int code, const QList<QByteArray> &values)
{
    QByteArray out;
    if (command.separator) {
        out += echo(command);
        for (const QByteArray &value : values)
            out += value + closing(command);
    } else {
        for (const QByteArray &value : values)
            out += value + '\n';
    }
    return out + "RPRT " + QByteArray::number(code) + '\n';
}

QByteArray values(const Command &command, const QList<QByteArray> &lines)
{
    if (command.separator)
        return report(command, Ok, lines);
    QByteArray out;
    for (const QByteArray &line : lines)
        out += line + '\n';
    return out;
}

std::optional<LineReader::Line> LineReader::next()
{
    for (;;) {
        const qsizetype end = m_pending.indexOf('\n');
        if (end < 0) {
            if (m_pending.size() <= kMaxLine)
                return std::nullopt;
            // No ending within reach: the line is dropped, its end looked for later.
            const bool first = !m_skipping;
            m_skipping = true;
            m_pending.clear();
            if (first)
                return Line {{}, {}, true};
            return std::nullopt;
        }
        Line line;
        line.raw = m_pending.left(end + 1);
        m_pending.remove(0, end + 1);
        if (m_skipping) { // the tail of a line already refused
            m_skipping = false;
            continue;
        }
        if (line.raw.size() - 1 > kMaxLine)
            return Line {{}, {}, true};
        line.text = line.raw.chopped(1);
        return line;
    }
}

} // namespace rigctl
