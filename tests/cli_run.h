// Running the telvor tool as a separate process in the tool's tests: exit code, output, errors.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

struct Outcome {
    int code;
    std::string out, err;
};

inline std::string slurp(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// A fresh scratch folder for one test.
inline std::string scratchFolder() {
    std::string tmpl = testing::TempDir() + "telvor_cli_XXXXXX";
    if (!mkdtemp(tmpl.data())) return testing::TempDir();
    return tmpl;
}

// Runs `env <environment> telvor <args>` through the shell with `input` on standard input.
// The zone is UTC unless the environment names another.
inline Outcome telvorIn(const std::string &environment, const std::string &args,
                        const std::string &input = "") {
    // Unique per process and call: ctest runs the cases of this file in parallel.
    static int calls = 0;
    const std::string dir = testing::TempDir() + "telvor_cli_" + std::to_string(getpid()) + "_" +
                            std::to_string(++calls) + "_";
    const std::string in = dir + "in", out = dir + "out", err = dir + "err";
    std::ofstream(in, std::ios::binary) << input;
    const std::string cmd = "env TZ=UTC0 " + environment + " " + std::string(TELVOR_BIN) + " " +
                            args + " <" + in + " >" + out + " 2>" + err;
    const int status = std::system(cmd.c_str());
    Outcome result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    std::remove(in.c_str());
    std::remove(out.c_str());
    std::remove(err.c_str());
    return result;
}

inline Outcome telvor(const std::string &args, const std::string &input = "") {
    return telvorIn("", args, input);
}

// Exactly one line of text.
inline bool oneLine(const std::string &text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}
