// Arbitrary bytes as qx50-web receives them from the network: a request's head judged
// by the guard, and a page's WebSocket message. Never a crash; a request is let in
// only through a served Host, and a WebSocket only with the token; a page's command is
// always one of the fifteen.
#include "Require.h"
#include "PageMessage.h"
#include "RequestGuard.h"
#include "RequestHead.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    static const RequestGuard guard({"127.0.0.1:8650", "localhost:8650"}, false, QByteArray(32, 'a'));
    const qsizetype end = headEnd(bytes);
    if (end > 0) {
        if (const auto head = parseRequestHead(QByteArrayView(bytes).first(end))) {
            require(head->fields.size() <= RequestHead::kMaxFields);
            const RequestGuard::Verdict verdict = guard.judge(*head);
            if (verdict.refusal == 0) {
                const QByteArray host = head->field("host").toLower();
                require(host == "127.0.0.1:8650" || host == "localhost:8650");
                require(verdict.route != RequestGuard::Route::Socket
                        || (head->asksForWebSocket() && guard.presentsToken(*head)));
            } else {
                require(verdict.refusal >= 400 && verdict.refusal < 500);
            }
        }
    }

    if (const auto request = readPageRequest(bytes); request && request->kind == PageRequest::Kind::Send)
        require(request->command.size() == 1 && QStringLiteral("MRPTS0123456789").contains(request->command));
    return 0;
}
