#include "RequestHead.h"

namespace {
bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f || c == ':' || c == '(' || c == ')' || c == '"' || c == '/' || c == '[' || c == ']'
            || c == '{' || c == '}' || c == '<' || c == '>' || c == '@' || c == ',' || c == ';' || c == '=' || c == '?'
            || c == '\\')
            return false;
    }
    return true;
}

bool hasControlBytes(QByteArrayView text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f)
            return true;
    }
    return false;
}
} // namespace

QByteArray RequestHead::field(QByteArrayView name) const
{
    for (const auto &[key, value] : fields)
        if (key == name)
            return value;
    return {};
}

int RequestHead::fieldCount(QByteArrayView name) const
{
    int count = 0;
    for (const auto &field : fields)
        count += field.first == name ? 1 : 0;
    return count;
}

bool RequestHead::asksForWebSocket() const
{
    return field("upgrade").toLower() == "websocket";
}

qsizetype headEnd(QByteArrayView bytes)
{
    const qsizetype at = bytes.indexOf("\r\n\r\n");
    return at < 0 ? -1 : at + 4;
}

std::optional<RequestHead> parseRequestHead(QByteArrayView head)
{
    if (head.size() > RequestHead::kMaxBytes || !head.endsWith("\r\n\r\n"))
        return std::nullopt;
    const QList<QByteArray> lines = head.first(head.size() - 4).toByteArray().split('\n');
    RequestHead request;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (!line.endsWith('\r') && i + 1 < lines.size())
            return std::nullopt; // a bare line feed
        if (line.endsWith('\r'))
            line.chop(1);
        if (hasControlBytes(line))
            return std::nullopt;
        if (i == 0) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() != 3 || !isToken(words[0]) || !words[1].startsWith('/') || !words[2].startsWith("HTTP/1."))
                return std::nullopt;
            request.method = words[0];
            request.target = words[1];
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.first(colon)) || request.fields.size() >= RequestHead::kMaxFields)
            return std::nullopt;
        request.fields.append({line.first(colon).toLower(), line.mid(colon + 1).trimmed()});
    }
    return request.method.isEmpty() ? std::nullopt : std::optional(request);
}
