// Runs a program as a child process the way a user's shell would, and
// collects what it prints: the downloader is tested as the executable it is.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace talveno::testing {

struct ChildResult {
    int exitCode = -1;      // the exit status, or -1 when it did not exit normally
    bool timedOut = false;  // it was killed after the time limit
    std::string out;        // its standard output
    std::string err;        // its standard error (terminal output when asked for one)
};

enum class StandardError { Pipe, Terminal };

// Runs program with arguments (not including the program's name), standard
// input from /dev/null and no other descriptor of ours, until it ends or,
// past limit, kills it. With StandardError::Terminal its standard error is
// the slave side of a new pseudo-terminal, as when a user runs it in a
// terminal window. Throws std::system_error when it cannot be started.
ChildResult runChild(const std::string& program, const std::vector<std::string>& arguments,
                     std::chrono::milliseconds limit,
                     StandardError standardError = StandardError::Pipe);

}  // namespace talveno::testing
