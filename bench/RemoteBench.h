#pragma once

#include <QString>
#include <functional>

using Report = std::function<void(const QString &measure, const QString &figure, const QString &target)>;

// A Com port served over the network: click to byte through a real ser2net on
// loopback, and the start-up scan of four network ports that never answer.
void measureRemote(const Report &report);
