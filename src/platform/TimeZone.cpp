#include "platform/TimeZone.h"

#include <ctime>

namespace vnt {

qint32 get_timezone() {
    tzset(); // take a changed TZ into account
    const time_t now = time(nullptr);
    struct tm local {};
    if (localtime_r(&now, &local) == nullptr)
        return 0;
    return static_cast<qint32>(-local.tm_gmtoff);
}

} // namespace vnt
