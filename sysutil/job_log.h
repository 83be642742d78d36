// The job log: what the program did to the machine and why a job refused, one line per
// step, in <application data folder>\Korvane.log (UTF-8, appended). Whoever helps a user
// reads it to answer "what did it do?".
//
// Writing never blocks the caller and never fails a job: lines are handed to a writer
// thread, which appends them; a log that cannot be written loses its lines and nothing else.
// The file is kept under 1 MiB: when a line would take it past that, the file becomes
// Korvane.old.log (replacing the one before) and a new Korvane.log begins.
#pragma once

#include <string>

namespace korvane {

inline constexpr wchar_t kJobLogName[] = L"Korvane.log";
inline constexpr wchar_t kOldJobLogName[] = L"Korvane.old.log";
inline constexpr unsigned long kJobLogLimit = 1024 * 1024;  // bytes

// Points the log at that folder (its Korvane.log). Lines logged before are dropped; called
// again, the later folder holds.
void OpenJobLog(const std::wstring& folder);

// Appends one line, stamped "YYYY-MM-DD HH:MM:SS " in local time; returns at once. Line
// breaks inside the text become spaces. Does nothing before OpenJobLog.
void LogJob(const std::wstring& line);

// Waits (at most timeoutMs) until every line handed over so far has been written or given
// up; true when they all were. For the end of the program and for tests.
bool FlushJobLog(unsigned long timeoutMs = 5000);

}  // namespace korvane
