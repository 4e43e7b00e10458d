#include "OpeningTime.h"

#include <algorithm>

std::optional<QDeadlineTimer> OpeningTime::s_sharedDeadline;

QDeadlineTimer OpeningTime::forOpeningNow()
{
    const QDeadlineTimer own(kOwn);
    if (!s_sharedDeadline)
        return own;
    return std::min(own, std::max(*s_sharedDeadline, QDeadlineTimer(kLeast)));
}

OpeningTime::Shared::Shared()
{
    s_sharedDeadline = QDeadlineTimer(kShared);
}

OpeningTime::Shared::~Shared()
{
    s_sharedDeadline.reset();
}
