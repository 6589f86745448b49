// Runs tarquil-cli inside the test's process and keeps what it printed on stdout and stderr.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli.h"

struct CliRun {
    int status;
    std::string out, err;
};

inline CliRun run(const std::vector<std::string>& args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = cliRun(args);
    std::string out = testing::internal::GetCapturedStdout();
    return {status, std::move(out), testing::internal::GetCapturedStderr()};
}
