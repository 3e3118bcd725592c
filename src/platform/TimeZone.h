#pragma once

#include <QtGlobal>

namespace vnt {

// Seconds to add to local time to obtain UTC (positive west of Greenwich), as in force now
// in the process's time zone (TZ included).
qint32 get_timezone();

} // namespace vnt
