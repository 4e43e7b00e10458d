#include "PageMessage.h"

#include "contract/CommandTable.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

std::optional<PageRequest> readPageRequest(QByteArrayView message)
{
    const QJsonDocument document = QJsonDocument::fromJson(message.toByteArray());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QString type = object.value(QLatin1String("t")).toString();
    PageRequest request;
    if (type == QLatin1String("hb")) {
        request.kind = PageRequest::Kind::Heartbeat;
    } else if (type == QLatin1String("stop")) {
        request.kind = PageRequest::Kind::Stop;
    } else if (type == QLatin1String("send")) {
        request.kind = PageRequest::Kind::Send;
        request.command = object.value(QLatin1String("c")).toString();
        // Only the table's own characters: the page never sends a letter in lower case.
        const PanelCommand *command
            = request.command.size() == 1 ? CommandTable::find(request.command.front().unicode()) : nullptr;
        if (!command || command->character != request.command.front())
            return std::nullopt;
    } else if (type == QLatin1String("repeat")) {
        request.kind = PageRequest::Kind::Repeat;
        request.memory = object.value(QLatin1String("m")).toString().left(2);
        request.seconds = object.value(QLatin1String("s")).toDouble(-1);
        const double count = object.value(QLatin1String("n")).toDouble(-1);
        if (!std::isfinite(count) || count != std::floor(count) || count < 0 || count > 1e9)
            return std::nullopt;
        request.count = static_cast<qint64>(count);
    } else if (type == QLatin1String("sounds")) {
        request.kind = PageRequest::Kind::Sounds;
        const QJsonValue on = object.value(QLatin1String("on"));
        if (!on.isBool())
            return std::nullopt;
        request.on = on.toBool();
    } else {
        return std::nullopt;
    }
    return request;
}
