#include "log_internal.h"
#include "osal/timing.h"
#include "sarnik/log_api.h"

namespace sarnik {

char *logAppendTimeDecoration(int bit, char *position, int *room) {
    switch (bit) {
    case 2: {
        char stamp[32];
        // Nothing at all when the local time has no text.
        if (timingFormatCurrentTime(stamp) == 0)
            return position;
        stamp[sizeof stamp - 1] = '\0';
        return log_sprintf(position, room, "[%s]", stamp);
    }
    case 3: return log_sprintf(position, room, "[%I64d]", timingGetCurrentTimeMillis());
    case 4: return log_sprintf(position, room, "[%I64d]", timingGetCurrentTimeNanos());
    default: return position;
    }
}

} // namespace sarnik
