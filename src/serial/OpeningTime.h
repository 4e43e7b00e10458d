#pragma once

#include <QDeadlineTimer>

#include <chrono>
#include <optional>

// How long the opening of a line may wait for its far end. A port served over the
// network waits for its connection and negotiation, at most kOwn; a device of this
// machine never waits. Only the lines that wait ask for their deadline here.
class OpeningTime {
public:
    static constexpr std::chrono::milliseconds kOwn {2000};
    static constexpr std::chrono::milliseconds kShared {2200};
    static constexpr std::chrono::milliseconds kLeast {100};

    // The deadline of an opening that starts now.
    static QDeadlineTimer forOpeningNow();

    // While a Shared lives, the openings made meanwhile share one deadline kShared
    // away, each still getting kLeast: probing several silent network ports takes
    // about as long as probing one. Only one lives at a time, on the window's thread.
    class Shared {
    public:
        Shared();
        ~Shared();
        Shared(const Shared &) = delete;
        Shared &operator=(const Shared &) = delete;
    };

private:
    static std::optional<QDeadlineTimer> s_sharedDeadline;
};
