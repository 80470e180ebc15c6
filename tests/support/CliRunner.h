#pragma once
// Runs the command-line tool as a user would and captures what it prints.

#include <filesystem>
#include <string>
#include <vector>

namespace test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// How a run differs from a plain one: variables set for the child only
// ("NAME=value"), standard output sent to a file of the caller's (such as
// /dev/full) instead of being captured.
struct CliOptions {
    std::vector<std::string> environment;
    std::string stdoutPath;
};

// Runs sundrel-cli with the arguments (no shell quoting involved).
CliResult RunCli(const std::vector<std::string>& args, const CliOptions& options = {});
// The same with another program than the build's sundrel-cli (a copy of it).
CliResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// Starts sundrel-cli without waiting (output to files in `io`), for tests
// that signal it; WaitCli collects it.
struct RunningCli {
    int pid = -1;
    std::filesystem::path out;
    std::filesystem::path err;
};
RunningCli StartCli(const std::vector<std::string>& args, const std::filesystem::path& io);
CliResult WaitCli(const RunningCli& running);

// A fresh directory under the system's temporary folder, removed on
// destruction.
class TempDir {
public:
    explicit TempDir(const std::string& tag);
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::size_t FileCount() const;

private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& p);
void WriteFile(const std::filesystem::path& p, const std::string& content);

} // namespace test
