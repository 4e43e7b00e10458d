#include "LostPortWait.h"

#include "FailureLog.h"

#include "serial/DeviceWatcher.h"

#include <QFileInfo>

#include <algorithm>

LostPortWait::LostPortWait(int port, QString device, DeviceWatcher *watcher, const LostPortTimes &times,
                           QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_device(std::move(device))
    , m_times(times)
{
    m_giveUp.setSingleShot(true);
    connect(&m_giveUp, &QTimer::timeout, this, &LostPortWait::gaveUp);
    m_giveUp.start(m_times.giveUpMs);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &LostPortWait::tryNow);
    if (!watcher) {
        triedInVain(); // the first try after 1 s
        return;
    }
    m_watcher = watcher;
    connect(watcher, &DeviceWatcher::presenceChanged, this, [this](bool present) {
        if (present)
            emit tryNow();
    });
    connect(watcher, &DeviceWatcher::touched, this, &LostPortWait::tryNow);
    if (!watcher->watching()) {
        qCWarning(failureLog).noquote()
            << QStringLiteral("COM%1 (%2) is tried once a second while it is waited for:").arg(m_port).arg(m_device)
            << watcher->whyNotWatching();
        m_retry.start(m_times.unwatchedTryMs);
        return;
    }
    // Back already, before the watch began (a quick re-enumeration): one try a moment
    // later, not at once, so a device that fails as soon as it opens is not spun on.
    if (QFileInfo::exists(m_device))
        m_retry.start(m_times.backAlreadyMs);
}

LostPortWait::~LostPortWait() = default;

void LostPortWait::triedInVain()
{
    if (m_watcher && m_watcher->watching())
        return;
    if (m_watcher) {
        m_retry.start(m_times.unwatchedTryMs);
        return;
    }
    const auto &pauses = m_times.networkPausesMs;
    m_retry.start(pauses[std::min<size_t>(static_cast<size_t>(m_tries), pauses.size() - 1)]);
    ++m_tries;
}
