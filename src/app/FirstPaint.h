#pragma once

#include <QWidget>

#include <functional>

// Runs a piece of work once a window has been painted for the first time, after the
// painting has reached the screen; or, for a window that is never exposed (started
// minimised), kLatestMs after the call.
namespace FirstPaint {

inline constexpr int kLatestMs = 1000;

void whenPainted(QWidget *window, std::function<void()> work);

} // namespace FirstPaint
