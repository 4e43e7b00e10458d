#pragma once

#include "RigctlProtocol.h"

#include <QByteArray>

namespace rigctl {

// Where a real rigctld's answer to one passed-on command ends, so that what this
// program answers itself (the voice-memory commands) takes its place after it.
// Hamlib's server says nothing to mark an answer's end in its default protocol: a
// setting ends with "RPRT n", a query with its values alone. So the values a query
// has are known here per command; anything not known is read up to its "RPRT" line,
// as settings and refusals end. The extended protocol always ends with "RPRT n"
// (Hamlib 4.5's chk_vfo excepted, one line as in the default protocol).
class UpstreamAnswer {
public:
    explicit UpstreamAnswer(const Command &command);

    // Takes as many of the bytes as belong to this answer and gives their count; the
    // rest belong to the next one. Only a line's start is kept, whatever its length.
    qsizetype take(const QByteArray &bytes, qsizetype from = 0);
    bool complete() const { return m_complete; }

private:
    enum class End { Lines, Done, EmptyLine, Report };
    void endLine();

    End m_end = End::Report;
    int m_lines = 0; // value lines still to come, for End::Lines
    char m_separator = 0;
    QByteArray m_line; // the start of the line being read
    bool m_complete = false;
};

} // namespace rigctl
