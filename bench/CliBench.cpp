// The command line as scripts run it, one child process per run, with its
// wall time and peak resident memory (wait4):
//   sundrel_bench_cli [SECONDS]
// - map creation of 10^4 and 10^5 sites on a horizontal line (sorted) beside
//   the same numbers of random sites; a run longer than SECONDS (default 60)
//   is stopped and reported as such;
// - export of an 800 x 600 PNG of a document whose label font is absurdly
//   large, and at 2400 dpi;
// - PostScript export of 10^5 and 3 x 10^5 random sites.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifndef SUNDREL_CLI_PATH
#define SUNDREL_CLI_PATH "sundrel-cli"
#endif

namespace fs = std::filesystem;

namespace {

struct Run {
    bool finished = false;
    int status = -1;
    double seconds = 0;
    double peakMiB = 0;
};

Run RunCli(std::vector<std::string> args, double limit)
{
    args.insert(args.begin(), SUNDREL_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Run run;
    for (;;) {
        int status = 0;
        struct rusage usage {};
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (done == pid) {
            run.finished = true;
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
            return run;
        }
        if (run.seconds > limit) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
            return run;
        }
        ::usleep(2000);
    }
}

void Print(const std::string& what, const Run& run)
{
    if (!run.finished)
        std::printf("%-44s stopped after %.1f s (peak %.0f MiB)\n", what.c_str(), run.seconds,
                    run.peakMiB);
    else
        std::printf("%-44s %8.3f s  peak %7.1f MiB  status %d\n", what.c_str(), run.seconds,
                    run.peakMiB, run.status);
    std::fflush(stdout);
}

void WriteSites(const fs::path& file, std::size_t n, bool line)
{
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::ofstream out(file);
    char text[64];
    for (std::size_t i = 0; i < n; ++i) {
        if (line)
            std::snprintf(text, sizeof text, "%zu 0\n", i);
        else
            std::snprintf(text, sizeof text, "%.17g %.17g\n", unit(random), unit(random));
        out << text;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const double limit = argc > 1 ? std::atof(argv[1]) : 60.0;
    const fs::path dir = fs::temp_directory_path() / ("sundrel-bench-cli-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ::setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);

    for (std::size_t n : {10000, 100000}) {
        for (bool line : {false, true}) {
            const fs::path sites = dir / "sites.txt";
            WriteSites(sites, n, line);
            Print("map " + std::to_string(n) + (line ? " sites on a line" : " random sites"),
                  RunCli({"map", sites.string(), "-o", (dir / "m.dvt").string()}, limit));
        }
    }

    // A document whose label font is absurdly large (the size at byte 244).
    const fs::path sites = dir / "sites.txt";
    WriteSites(sites, 1000, false);
    RunCli({"map", sites.string(), "-o", (dir / "font.dvt").string()}, limit);
    {
        std::fstream doc(dir / "font.dvt", std::ios::in | std::ios::out | std::ios::binary);
        const std::int32_t size = 30000;
        doc.seekp(244);
        doc.write(reinterpret_cast<const char*>(&size), 4);
    }
    Print("export 800x600 png, label font 30000 pt",
          RunCli({"export", (dir / "font.dvt").string(), "-o", (dir / "f.png").string()}, limit));
    Print("export 800x600 png, 2400 dpi",
          RunCli({"export", (dir / "font.dvt").string(), "-o", (dir / "d.png").string(), "--dpi",
                  "2400"},
                 limit));
    Print("export 800x600 bmp, label font 30000 pt, 2400 dpi",
          RunCli({"export", (dir / "font.dvt").string(), "-o", (dir / "fd.bmp").string(), "--dpi",
                  "2400"},
                 limit));

    for (std::size_t n : {100000, 300000}) {
        WriteSites(sites, n, false);
        RunCli({"map", sites.string(), "-o", (dir / "ps.dvt").string()}, limit);
        const Run run = RunCli({"export", (dir / "ps.dvt").string(), "-o", (dir / "m.ps").string()}, limit);
        Print("export PostScript, " + std::to_string(n) + " sites", run);
        std::error_code ec;
        std::printf("%-44s %8.1f MiB\n", "  file size",
                    static_cast<double>(fs::file_size(dir / "m.ps", ec)) / 1048576.0);
        std::fflush(stdout);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
