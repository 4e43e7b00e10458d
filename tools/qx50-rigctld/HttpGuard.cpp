#include "HttpGuard.h"

namespace rigctl {

namespace {

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool startsWithNoCase(const QByteArray &text, const char *prefix)
{
    return text.toLower().startsWith(prefix);
}

// "METHOD target HTTP/d.d": a method in capitals, a space, a target, the version.
bool isRequestLine(const QByteArray &head, const QByteArray &tail)
{
    qsizetype i = 0;
    while (i < head.size() && isUpper(head[i]))
        ++i;
    if (i == 0 || i + 1 >= head.size() || head[i] != ' ' || head[i + 1] == ' ')
        return false;
    QByteArray end = tail;
    if (end.endsWith('\r'))
        end.chop(1);
    return end.size() >= 9 && end.right(9).startsWith(" HTTP/") && isDigit(end.right(3)[0]) && end.right(2)[0] == '.'
        && isDigit(end.right(1)[0]);
}

} // namespace

bool HttpGuard::headerSoFar() const
{
    return startsWithNoCase(m_head, "host:") || startsWithNoCase(m_head, "origin:");
}

void HttpGuard::endLine()
{
    if (headerSoFar() || isRequestLine(m_head, m_tail))
        m_tripped = true;
    m_head.clear();
    m_tail.clear();
}

bool HttpGuard::feed(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (m_tripped)
            break;
        if (c == '\n') {
            endLine();
            continue;
        }
        if (m_head.size() < kHead)
            m_head += c;
        m_tail += c;
        if (m_tail.size() > kTail)
            m_tail.remove(0, m_tail.size() - kTail);
    }
    m_tripped = m_tripped || headerSoFar();
    return m_tripped;
}

} // namespace rigctl
