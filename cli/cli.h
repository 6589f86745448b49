// tarquil-cli: the batch front end. Each command is a function in its own cmd_*.cpp, listed in the
// command table of cli.cpp.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum CliExit { CLI_OK = 0, CLI_FILE_ERROR = 1, CLI_USAGE = 2 };

struct CliCommand {
    const char* name;
    const char* summary;  // one line for `tarquil-cli --help`
    int (*run)(const std::vector<std::string>& args);
};

const std::vector<CliCommand>& cliCommands();
int cliMain(int argc, char** argv);
int cliRun(const std::vector<std::string>& args);

// Messages go to stderr with the program name in front.
void cliError(const std::string& message);
// Escapes a string for a JSON document.
std::string cliJsonString(const std::string& s);
// True when stderr is a terminal (progress lines are shown only then).
bool cliStderrIsTerminal();

// The commands.
int cmdInfo(const std::vector<std::string>& args);
int cmdConvert(const std::vector<std::string>& args);
int cmdPalette(const std::vector<std::string>& args);
int cmdPoslist(const std::vector<std::string>& args);
int cmdCodegen(const std::vector<std::string>& args);
int cmdExport(const std::vector<std::string>& args);
int cmdFont(const std::vector<std::string>& args);
int cmdEdit(const std::vector<std::string>& args);
int cmdArrange(const std::vector<std::string>& args);
int cmdAnimmaster(const std::vector<std::string>& args);
int cmdRender(const std::vector<std::string>& args);
