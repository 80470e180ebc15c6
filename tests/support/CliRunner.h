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

// Runs sundrel-cli with the arguments (no shell quoting involved).
CliResult RunCli(const std::vector<std::string>& args);

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
