#include "UpstreamAnswer.h"

#include <array>
#include <utility>

namespace rigctl {

namespace {

constexpr qsizetype kKeep = 8; // enough for "RPRT -" and "done"

struct Query {
    const char *name; // the long name, or the short form's one character
    int lines;
};

// Hamlib 4.5's queries and how many value lines each answers (4.5.4's rigctld).
constexpr std::array kQueries {
    Query {"f", 1},
    Query {"get_freq", 1},
    Query {"m", 2},
    Query {"get_mode", 2},
    Query {"v", 1},
    Query {"get_vfo", 1},
    Query {"t", 1},
    Query {"get_ptt", 1},
    Query {"s", 2},
    Query {"get_split_vfo", 2},
    Query {"i", 1},
    Query {"get_split_freq", 1},
    Query {"x", 2},
    Query {"get_split_mode", 2},
    Query {"k", 3},
    Query {"get_split_freq_mode", 3},
    Query {"l", 1},
    Query {"get_level", 1},
    Query {"u", 1},
    Query {"get_func", 1},
    Query {"p", 1},
    Query {"get_parm", 1},
    Query {"j", 1},
    Query {"get_rit", 1},
    Query {"z", 1},
    Query {"get_xit", 1},
    Query {"r", 1},
    Query {"get_rptr_shift", 1},
    Query {"o", 1},
    Query {"get_rptr_offs", 1},
    Query {"n", 1},
    Query {"get_ts", 1},
    Query {"c", 1},
    Query {"get_ctcss_tone", 1},
    Query {"d", 1},
    Query {"get_dcs_code", 1},
    Query {"e", 1},
    Query {"y", 4},
    Query {"get_ant", 4},
    Query {"_", 1},
    Query {"get_info", 1},
    Query {"a", 1},
    Query {"get_trn", 1},
    Query {"2", 1},
    Query {"power2mW", 1},
    Query {"4", 1},
    Query {"mW2power", 1},
    Query {"get_powerstat", 1},
    Query {"chk_vfo", 1},
    Query {"get_vfo_info", 5},
    Query {"get_vfo_list", 1},
    Query {"get_cache", 1},
    Query {"get_dcd", 1},
};

} // namespace

UpstreamAnswer::UpstreamAnswer(const Command &command)
    : m_separator(command.separator)
{
    if (command.name == "chk_vfo") {
        m_end = End::Lines;
        m_lines = 1;
    } else if (command.separator) {
        m_end = End::Report;
    } else if (command.name == "dump_state") {
        m_end = End::Done;
    } else if (command.name == "get_rig_info") {
        m_end = End::EmptyLine;
    } else {
        for (const Query &query : kQueries) {
            if (command.name == query.name) {
                m_end = End::Lines;
                m_lines = query.lines;
                break;
            }
        }
    }
}

void UpstreamAnswer::endLine()
{
    // In the extended protocol with a separator other than "+", one line holds every
    // record, "RPRT n" last; only the last record's start is kept (see take()).
    const bool report = m_line.startsWith("RPRT ");
    switch (m_end) {
    case End::Report: m_complete = report; break;
    case End::Lines: m_complete = report || --m_lines <= 0; break;
    case End::Done: m_complete = report || m_line == "done"; break;
    case End::EmptyLine: m_complete = report || m_line.isEmpty(); break;
    }
    m_line.clear();
}

qsizetype UpstreamAnswer::take(const QByteArray &bytes, qsizetype from)
{
    qsizetype i = from;
    while (i < bytes.size() && !m_complete) {
        const char c = bytes[i++];
        if (c == '\n')
            endLine();
        else if (m_separator && m_separator != '+' && c == m_separator)
            m_line.clear(); // a record ends: only the last one's start matters
        else if (m_line.size() < kKeep)
            m_line += c;
    }
    return i - from;
}

} // namespace rigctl
