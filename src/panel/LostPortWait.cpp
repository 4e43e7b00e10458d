#include "LostPortWait.h"

#include "serial/DeviceWatcher.h"
#include "serial/NetworkAddress.h"

#include <algorithm>

LostPortWait::LostPortWait(int port, QString device, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_device(std::move(device))
{
    m_giveUp.setSingleShot(true);
    connect(&m_giveUp, &QTimer::timeout, this, &LostPortWait::gaveUp);
    m_giveUp.start(kGiveUpMs);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &LostPortWait::tryNow);
    if (NetworkAddress::isNetworkName(m_device)) {
        triedInVain(); // the first try after 1 s
        return;
    }
    m_watcher = new DeviceWatcher(m_device, this);
    connect(m_watcher, &DeviceWatcher::presenceChanged, this, [this](bool present) {
        if (present)
            emit tryNow();
    });
    connect(m_watcher, &DeviceWatcher::touched, this, &LostPortWait::tryNow);
    // Back already, before the watch began (a quick re-enumeration): one try a moment
    // later, not at once, so a device that fails as soon as it opens is not spun on.
    if (m_watcher->present())
        m_retry.start(1000);
}

LostPortWait::~LostPortWait() = default;

void LostPortWait::triedInVain()
{
    if (m_watcher)
        return;
    constexpr int kPausesMs[] = {1000, 2000, 4000, 8000, 10000};
    m_retry.start(kPausesMs[std::min<size_t>(static_cast<size_t>(m_tries), std::size(kPausesMs) - 1)]);
    ++m_tries;
}
