#pragma once
// Resource identifiers shared by the .rc files and the C++ code. One definition per line, so that
// each window or feature can append its own.

#define IDR_MAINFRAME 128

#define IDS_MEMORY_NOT_ENOUGH 57665
#define IDS_READ_URL_CACHE_FAILED 57666
#define IDS_PARSE_URL_CACHE_FAILED 57667
#define IDS_HISTORY_DAY_FORMAT 32781
