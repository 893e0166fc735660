// Diagnostic output by category. KELVRA_DEBUG names the categories to show, separated by commas
// ("usb,device"); "all" or "1" shows every one. Messages go to OutputDebugStringA: a debugger on
// Windows, stderr on Linux. Nothing is formatted for a category that is off.
#pragma once

#include <cstdarg>

enum class LogCategory { Api, Session, Settings, Device, Sensor, Usb, Imaging, Output };

// Whether KELVRA_DEBUG asked for category; read once per process.
bool LogEnabled(LogCategory category);

#if defined(__GNUC__)
#define KELVRA_LOG_FORMAT(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define KELVRA_LOG_FORMAT(formatIndex, firstArgument)
#endif

// One line, prefixed with the category ("kelvra usb: ..."); the newline is added.
void DebugLog(LogCategory category, const char* format, ...) KELVRA_LOG_FORMAT(2, 3);
