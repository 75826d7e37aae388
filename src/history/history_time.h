#pragma once
// Times of the download history: seconds since 1970-01-01 00:00 UTC, held in 64 bits so that
// dates after January 2038 neither wrap nor read back negative. The day files are named after the
// local date of each record's time.

#include <cstdint>
#include <string>
#include <string_view>

namespace vx {

using HistoryTime = int64_t;

HistoryTime currentTime();

struct CalendarTime {
    int64_t year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4;  // 0 = Sunday
};

// The local calendar time of `t`. When the C library cannot convert it (Windows refuses times
// before 1970 and after the year 3000), the UTC calendar time is given instead, so every time has
// a date.
CalendarTime localCalendarTime(HistoryTime t);
// The UTC calendar time of `t`, for any 64-bit value.
CalendarTime utcCalendarTime(HistoryTime t);

// `t` in local time by a strftime-style format ("%Y-%m-%d", "%H:%M:%S", ...).
std::string formatLocalTime(HistoryTime t, std::string_view format);

// The title of the day file for `t`: its local date by the day-file format of the string table.
std::string dayFileName(HistoryTime t);

}  // namespace vx
