#include "support/CliRunner.h"

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

#ifndef SUNDREL_CLI_PATH
#define SUNDREL_CLI_PATH "sundrel-cli"
#endif

namespace test {

namespace {

pid_t Spawn(const std::vector<std::string>& args, const std::string& outPath,
            const std::string& errPath, const std::vector<std::string>& environment,
            const std::string& program = SUNDREL_CLI_PATH)
{
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = environment;
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (std::string& e : env)
            ::putenv(e.data());
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

CliResult RunCli(const std::vector<std::string>& args, const CliOptions& options)
{
    // Output goes to temporary files so that large outputs cannot block.
    TempDir io("cli-io");
    const std::string outPath =
        options.stdoutPath.empty() ? (io / "out").string() : options.stdoutPath;
    const std::string errPath = (io / "err").string();
    CliResult r;
    r.status = Wait(Spawn(args, outPath, errPath, options.environment));
    if (options.stdoutPath.empty())
        r.out = ReadFile(outPath);
    r.err = ReadFile(errPath);
    return r;
}

CliResult RunProgram(const std::string& program, const std::vector<std::string>& args)
{
    TempDir io("cli-io");
    CliResult r;
    r.status = Wait(Spawn(args, (io / "out").string(), (io / "err").string(), {}, program));
    r.out = ReadFile(io / "out");
    r.err = ReadFile(io / "err");
    return r;
}

RunningCli StartCli(const std::vector<std::string>& args, const std::filesystem::path& io)
{
    RunningCli running;
    running.out = io / "cli-out";
    running.err = io / "cli-err";
    running.pid = Spawn(args, running.out.string(), running.err.string(), {});
    return running;
}

CliResult WaitCli(const RunningCli& running)
{
    CliResult r;
    r.status = Wait(running.pid);
    r.out = ReadFile(running.out);
    r.err = ReadFile(running.err);
    return r;
}

TempDir::TempDir(const std::string& tag)
{
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("sundrel-" + tag + "-" + std::to_string(::getpid()) + "-" +
             std::to_string(counter.fetch_add(1)));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::size_t TempDir::FileCount() const
{
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(path_), {}));
}

std::string ReadFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void WriteFile(const std::filesystem::path& p, const std::string& content)
{
    std::ofstream(p, std::ios::binary) << content;
}

} // namespace test
