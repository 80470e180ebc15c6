// A significance test in pieces on one machine, one child process per run,
// with wall time and peak resident memory (wait4):
//   sundrel_bench_counts [M] [N] [M_TEXT]
// - N populations (default 500) from synthetic genotypes, M bootstrap
//   replicates (default 2000): one run of 1-M into a counts file, then 8
//   pieces one after another and their merge (the same bytes);
// - a text file of M_TEXT matrices (default 400, about 0.5 GB at N = 500):
//   the whole run, and piece 8/8 and 1/8, which convert only their matrices;
// - a single replicate, for the cost of a piece beyond its replicates.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#ifndef SUNDREL_CLI_PATH
#define SUNDREL_CLI_PATH "sundrel-cli"
#endif

namespace fs = std::filesystem;

namespace {

struct Run {
    int status = -1;
    double seconds = 0;
    double peakMiB = 0;
};

Run RunCli(std::vector<std::string> args)
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
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return run;
}

void Print(const std::string& what, const Run& run)
{
    std::printf("%-52s %9.3f s  peak %7.1f MiB  status %d\n", what.c_str(), run.seconds, run.peakMiB,
                run.status);
    std::fflush(stdout);
}

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// N random sites, and GENEPOP genotypes of 4 diploids at 10 loci each.
void WriteStudy(const fs::path& dir, int n)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> place(0.0, 1000.0);
    std::uniform_int_distribution<int> allele(1, 8);
    std::ofstream sites(dir / "sites.txt");
    sites << "x y\n";
    std::set<std::pair<int, int>> taken;
    while (static_cast<int>(taken.size()) < n) {
        const std::pair<int, int> p{static_cast<int>(place(random) * 1000), static_cast<int>(place(random) * 1000)};
        if (taken.insert(p).second)
            sites << p.first / 1000.0 << ' ' << p.second / 1000.0 << '\n';
    }
    std::ofstream gen(dir / "pops.gen");
    gen << "synthetic\n";
    for (int l = 0; l < 10; ++l)
        gen << "loc" << l << '\n';
    char text[8];
    for (int p = 0; p < n; ++p) {
        gen << "Pop\n";
        for (int i = 0; i < 4; ++i) {
            gen << 'p' << p << 'i' << i << " ,";
            for (int l = 0; l < 10; ++l) {
                std::snprintf(text, sizeof text, " %02d%02d", allele(random), allele(random));
                gen << text;
            }
            gen << '\n';
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int m = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int n = argc > 2 ? std::atoi(argv[2]) : 500;
    const int mText = argc > 3 ? std::atoi(argv[3]) : 400;
    const fs::path dir = fs::temp_directory_path() / ("sundrel-bench-counts-" + std::to_string(::getpid()));
    fs::create_directories(dir / "parts");
    WriteStudy(dir, n);
    const std::string map = (dir / "map.dvt").string();
    RunCli({"map", (dir / "sites.txt").string(), "--first-line", "2", "-o", map});
    const std::vector<std::string> study{"analyse", map, "--genotypes", (dir / "pops.gen").string(),
                                         "--bootstrap", std::to_string(m), "--seed", "1"};
    const auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = study;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    const std::string label = "N " + std::to_string(n) + ", M " + std::to_string(m);

    Print(label + ": one run of 1-M", RunCli(with({"--counts", (dir / "one.counts").string()})));
    double pieces = 0;
    double peak = 0;
    std::vector<std::string> merge{"merge"};
    for (int i = 1; i <= 8; ++i) {
        const std::string part = (dir / "parts" / (std::to_string(i) + ".counts")).string();
        const Run run = RunCli(with({"--piece", std::to_string(i) + "/8", "--counts", part}));
        pieces += run.seconds;
        peak = std::max(peak, run.peakMiB);
        merge.push_back(part);
    }
    Print(label + ": 8 pieces one after another", Run{0, pieces, peak});
    merge.insert(merge.end(), {"-o", (dir / "merged.counts").string()});
    Print(label + ": merge of the 8 pieces", RunCli(merge));
    std::printf("merged counts %s one run's\n",
                ReadFile(dir / "merged.counts") == ReadFile(dir / "one.counts") ? "are" : "ARE NOT");
    std::fflush(stdout); // a child would write the buffer again
    Print(label + ": one replicate (piece 1/M)", RunCli(with({"--piece", "1/" + std::to_string(m), "--counts",
                                                             (dir / "r.counts").string()})));

    const std::string text = (dir / "matrices.txt").string();
    RunCli({"distances", (dir / "pops.gen").string(), "--bootstrap", std::to_string(mText), "--seed", "2",
            "--replicates", "2-" + std::to_string(mText), "-o", text});
    std::error_code ec;
    std::printf("matrix text file: %d matrices, %.2f GB\n", mText - 1,
                static_cast<double>(fs::file_size(text, ec)) / 1e9);
    std::fflush(stdout);
    const std::vector<std::string> fromText{"analyse", map, text, "--matrices", std::to_string(mText - 1),
                                            "--gap", "1"};
    const auto textWith = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = fromText;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    Print("text matrices: whole run", RunCli(textWith({"--counts", (dir / "t.counts").string()})));
    Print("text matrices: piece 8/8", RunCli(textWith({"--piece", "8/8", "--counts", (dir / "t8.counts").string()})));
    Print("text matrices: piece 1/8", RunCli(textWith({"--piece", "1/8", "--counts", (dir / "t1.counts").string()})));
    fs::remove_all(dir, ec);
    return 0;
}
