// Arbitrary bytes from a rigctld client, fed in two pieces split where the input says:
// never a crash, lines stay bounded, and a send_voice_mem memory is always 0 to 9.
// The same bytes go through the web-request guard, and, as an upstream rigctld's
// answer to each command read, through the reading of where that answer ends.
#include "Require.h"
#include "HttpGuard.h"
#include "RigctlProtocol.h"
#include "UpstreamAnswer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype split = size ? data[0] % (bytes.size() + 1) : 0;
    rigctl::LineReader reader;
    rigctl::HttpGuard guard;
    for (const QByteArray &piece : {bytes.left(split), bytes.mid(split)}) {
        const bool before = guard.tripped();
        require(guard.feed(piece) || !before); // once a web request, always one
        reader.feed(piece);
        while (const auto line = reader.next()) {
            require(line->text.size() <= rigctl::LineReader::kMaxLine);
            const auto command = rigctl::parseLine(line->text);
            if (!command)
                continue;
            if (const auto memory = rigctl::voiceMemory(*command))
                require(*memory >= 0 && *memory <= 9);
            const QByteArray answer = rigctl::report(*command, rigctl::NotImplemented);
            require(answer.endsWith("RPRT -4\n"));
            rigctl::UpstreamAnswer upstream(*command);
            const qsizetype taken = upstream.take(bytes, split);
            require(taken >= 0 && taken <= bytes.size() - split);
            require(upstream.take(answer) == answer.size() || upstream.complete());
        }
    }
    return 0;
}
