#include "KeyCommand.h"

std::optional<char> keyCommand(int characterCode)
{
    switch (characterCode) {
    case 'M':
    case 'm': return 'M';
    case 'R':
    case 'r': return 'R';
    case 'P':
    case 'p': return 'P';
    case 'T':
    case 't': return 'T';
    case 'S':
    case 's': return 'S';
    default: break;
    }
    if (characterCode >= '0' && characterCode <= '9')
        return static_cast<char>(characterCode);
    return std::nullopt;
}
