#include "OpenLines.h"

#include "SerialLine.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

std::vector<SerialLine *> &lines()
{
    static std::vector<SerialLine *> open;
    return open;
}

} // namespace

void OpenLines::add(SerialLine *line)
{
    if (std::find(lines().begin(), lines().end(), line) == lines().end())
        lines().push_back(line);
}

void OpenLines::remove(SerialLine *line)
{
    std::erase(lines(), line);
}

void OpenLines::closeAll()
{
    const std::vector<SerialLine *> closing = std::exchange(lines(), {});
    for (SerialLine *line : closing) {
        line->blockSignals(true);
        line->close();
    }
}
