#pragma once

#include <QString>

// The running program's own file, resolved by the system (/proc/self/exe) and not
// from argv[0], the current directory or the environment, so that it is the same
// before and after Qt starts and cannot be pointed elsewhere by whoever starts us.
// Empty when the system cannot tell.
QString runningExecutableFile();
// Its directory (empty when unknown).
QString runningExecutableDirectory();
