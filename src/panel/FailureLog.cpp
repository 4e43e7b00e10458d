#include "FailureLog.h"

Q_LOGGING_CATEGORY(failureLog, "qx50.failure", QtWarningMsg)
