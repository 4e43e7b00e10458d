#pragma once

#include <QLoggingCategory>

// Where the reason for each failure the operator is shown also goes, once, so that a
// launcher's journal keeps it: standard error, category "qx50.failure". Nothing is
// written there when all is well.
Q_DECLARE_LOGGING_CATEGORY(failureLog)
