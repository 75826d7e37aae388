#include "history/history_time.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <limits>

#include "base/string_table.h"
#include "resources/resource.h"

namespace vx {

namespace {

// Local time from the C library, in its 64-bit form; false when it refuses the value.
bool systemLocalTime(HistoryTime t, std::tm& out) {
    if (t < std::numeric_limits<std::time_t>::min() || t > std::numeric_limits<std::time_t>::max())
        return false;
    const std::time_t value = static_cast<std::time_t>(t);
#if defined(_WIN32)
    return localtime_s(&out, &value) == 0;
#else
    return localtime_r(&value, &out) != nullptr;
#endif
}

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

void appendNumber(std::string& out, int64_t value, int width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", width, static_cast<long long>(value));
    out += buffer;
}

}  // namespace

HistoryTime currentTime() {
    return static_cast<HistoryTime>(std::time(nullptr));
}

CalendarTime utcCalendarTime(HistoryTime t) {
    const int64_t days = floorDiv(t, 86400);
    const int64_t secondOfDay = (t % 86400 + 86400) % 86400;
    // Civil date from a day count (days since 1970-01-01), in eras of 400 years.
    const int64_t z = days + 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    CalendarTime c;
    c.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    c.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    c.year = yearOfEra + era * 400 + (c.month <= 2 ? 1 : 0);
    c.hour = static_cast<int>(secondOfDay / 3600);
    c.minute = static_cast<int>(secondOfDay / 60 % 60);
    c.second = static_cast<int>(secondOfDay % 60);
    c.weekday = static_cast<int>(days - floorDiv(days + 4, 7) * 7 + 4);
    return c;
}

CalendarTime localCalendarTime(HistoryTime t) {
    std::tm tm{};
    if (!systemLocalTime(t, tm))
        return utcCalendarTime(t);
    CalendarTime c;
    c.year = static_cast<int64_t>(tm.tm_year) + 1900;
    c.month = tm.tm_mon + 1;
    c.day = tm.tm_mday;
    c.hour = tm.tm_hour;
    c.minute = tm.tm_min;
    c.second = tm.tm_sec;
    c.weekday = tm.tm_wday;
    return c;
}

std::string formatLocalTime(HistoryTime t, std::string_view format) {
    const CalendarTime c = localCalendarTime(t);
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        const char conversion = format[++i];
        switch (conversion) {
            case 'Y':
                appendNumber(out, c.year, 4);
                break;
            case 'y':
                appendNumber(out, ((c.year % 100) + 100) % 100, 2);
                break;
            case 'm':
                appendNumber(out, c.month, 2);
                break;
            case 'd':
                appendNumber(out, c.day, 2);
                break;
            case 'H':
                appendNumber(out, c.hour, 2);
                break;
            case 'M':
                appendNumber(out, c.minute, 2);
                break;
            case 'S':
                appendNumber(out, c.second, 2);
                break;
            case '%':
                out += '%';
                break;
            default:
                // A conversion this formatter does not know is kept as written.
                out += '%';
                out += conversion;
                break;
        }
    }
    return out;
}

std::string dayFileName(HistoryTime t) {
    const char* format = stringText(IDS_HISTORY_DAY_FORMAT);
    return formatLocalTime(t, format ? format : "%Y-%m-%d");
}

}  // namespace vx
