// Runs a shell command for a test, as an independent consumer of our files is run.
#pragma once

#include <cstdio>
#include <string>

// The command's standard output in `out`; true when it ran and exited with status 0.
inline bool runCapture(const std::string& cmd, std::string& out) {
    out.clear();
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return false;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    return ::pclose(p) == 0;
}
