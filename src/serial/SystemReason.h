#pragma once

#include <QString>

#include <cerrno>

// The system's own words for an error number ("Permission denied"), in the locale's
// encoding. Read errno at the call, before anything else can change it.
QString systemReason(int error = errno);
