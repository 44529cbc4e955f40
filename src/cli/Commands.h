// The tqmb20 subcommands. Each takes the arguments after its name and returns the exit
// code: 0 success, 1 the operation failed, 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace tq::cli {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const Args& args);
};

// Every subcommand, in the order `tqmb20 --help` lists them.
const std::vector<Command>& AllCommands();

// Telemetry out: the GPS track and the G-sensor records of a recording.
int RunGps(const Args& args);
int RunGsensor(const Args& args);
int RunCard(const Args& args);

// Prints "tqmb20 <name>: <message>" to standard error and returns `code`.
int Fail(const char* name, int code, const std::string& message);

// Why a path given as a recording cannot be one ("no such file", "is a folder", "not a
// regular file"), or "" when it names a regular file.
std::string FileProblem(const std::string& path);

int RunInfo(const Args& args);    // CmdInfo.cpp
int RunRepair(const Args& args);  // CmdRepair.cpp
int RunList(const Args& args);  // CmdList.cpp
int RunExport(const Args& args);  // CmdExport.cpp
int RunPlay(const Args& args);  // CmdPlay.cpp
int RunConfig(const Args& args);  // CmdConfig.cpp
int RunFormatImage(const Args& args);  // CmdFormatImage.cpp

}  // namespace tq::cli
