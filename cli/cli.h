// tarquil-cli: the batch front end. Each command is a function in its own cmd_*.cpp, listed in the
// command table of cli.cpp.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum CliExit { CLI_OK = 0, CLI_FILE_ERROR = 1, CLI_USAGE = 2 };

class CliCall;  // cli/args.h: one run of a command and what it reports

struct CliCommand {
    const char* name;
    const char* summary;  // one line for `tarquil-cli --help`
    int (*run)(CliCall& call);
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
int cmdInfo(CliCall& call);
int cmdConvert(CliCall& call);
int cmdPalette(CliCall& call);
int cmdPoslist(CliCall& call);
int cmdCodegen(CliCall& call);
int cmdExport(CliCall& call);
int cmdFont(CliCall& call);
int cmdEdit(CliCall& call);
int cmdArrange(CliCall& call);
int cmdPack(CliCall& call);
int cmdAnimmaster(CliCall& call);
int cmdRender(CliCall& call);
