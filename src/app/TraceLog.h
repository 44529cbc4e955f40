// The program's one diagnostic channel: every failure path writes one line
// "[tag(line)] message" to the trace file in the settings folder.
#pragma once

#include <string>

namespace tq {

// Truncates the trace file and writes "Version : <version>\n". Returns false when the
// file cannot be written; later lines then go to standard error.
bool StartTraceFile(const std::string& path, const std::string& version);

// Points the log at a file without truncating it ("" sends lines to standard error).
void SetTraceFile(const std::string& path);
std::string TraceFilePath();

// Formats the message (printf rules, cut at 8191 characters, never dropped) and appends
// "[tag(line)] message" as one whole write. Safe from any thread. An empty message
// writes nothing. The message supplies its own line end.
void TraceLog(const char* tag, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace tq
