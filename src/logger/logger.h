#pragma once

#include <QLoggingCategory>

namespace quorvelin {

// Routes every Qt log message to standard error and to the day's log file
// "<app data>/logs/app-yyyyMMdd.log". Call once, after the application identity is set.
// A log file that cannot be opened is not an error: lines then go to standard error only.
void initLogger();

// The product's logging categories; info and above are enabled.
Q_DECLARE_LOGGING_CATEGORY(asCore)
Q_DECLARE_LOGGING_CATEGORY(asConfig)
Q_DECLARE_LOGGING_CATEGORY(asService)
Q_DECLARE_LOGGING_CATEGORY(asCapture)
Q_DECLARE_LOGGING_CATEGORY(asUi)

} // namespace quorvelin
