// From genotypes to barriers on the command line: distances writes matrices
// that the matrix import reads back exactly, split runs concatenate to the
// whole run, analyse --genotypes gives the document that the written
// matrices give, and every refusal names what is wrong.

#include "support/CliRunner.h"

#include "genetics/Distances.h"
#include "genetics/GenotypeReaders.h"

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>

namespace {

const std::string kExamples = SUNDREL_EXAMPLES_DIR;
const std::string kFixtures = SUNDREL_GENETICS_FIXTURES;
const std::string kCats = kExamples + "/nancycats.gen";

std::string Shortest(double v)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, end);
}

test::CliResult Cli(const std::vector<std::string>& args)
{
    return test::RunCli(args);
}

TEST(CliDistances, MatricesReadBackToTheValuesComputed)
{
    test::TempDir temp("cli-distances-values");
    const std::string out = (temp / "m.txt").string();
    for (const char* distance : {"nei", "edwards", "reynolds", "rogers", "prevosti"}) {
        SCOPED_TRACE(distance);
        const auto r = Cli({"distances", kCats, "--distance", distance, "--bootstrap", "3", "-o", out});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("17 populations, 237 individuals, 9 loci (diploid)\n"), std::string::npos);
        EXPECT_NE(r.out.find("(--size 17 --matrices 4 --gap 1)\n"), std::string::npos) << r.out;
        const sundrel::genetics::GenotypeData data = sundrel::genetics::ReadGenotypeFile(kCats, {});
        const auto observed = sundrel::genetics::ObservedDistances(
            data, *sundrel::genetics::DistanceFromName(distance), sundrel::genetics::UntypedRule::Mean);
        const auto m = Cli({"matrices", out, "--size", "17", "--matrices", "4", "--gap", "1"});
        ASSERT_EQ(m.status, 0) << m.err;
        EXPECT_NE(m.out.find("matrix 1: d(2,1) = " + Shortest(observed.front()) + "  d(17,16) = " +
                             Shortest(observed.back()) + "\n"),
                  std::string::npos)
            << m.out;
    }
}

TEST(CliDistances, SplitRunsConcatenateToTheWholeRunByteForByte)
{
    test::TempDir temp("cli-distances-split");
    for (const char* kind : {"loci", "individuals"}) {
        SCOPED_TRACE(kind);
        const auto run = [&](const std::string& file, const std::string& range) {
            std::vector<std::string> args = {"distances", kCats, "--bootstrap", "30", "--resample", kind,
                                             "--seed", "99", "-o", (temp / file).string()};
            if (!range.empty()) {
                args.push_back("--replicates");
                args.push_back(range);
            }
            const auto r = Cli(args);
            EXPECT_EQ(r.status, 0) << r.err;
            return test::ReadFile(temp / file);
        };
        const std::string whole = run("whole.txt", "");
        const std::string first = run("a.txt", "1-12"), second = run("b.txt", "13-29"), third = run("c.txt", "30-30");
        EXPECT_EQ(first + second + third, whole);
        EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 31 * 18);
    }
    // Any unsigned 64-bit seed.
    const auto top = Cli({"distances", kCats, "--bootstrap", "2", "--seed", "18446744073709551615", "-o",
                          (temp / "top.txt").string()});
    ASSERT_EQ(top.status, 0) << top.err;
    EXPECT_NE(top.out.find("seed 18446744073709551615)"), std::string::npos) << top.out;
}

TEST(CliDistances, PopulationsFileReordersAndVcfReadsCompressed)
{
    test::TempDir temp("cli-distances-order");
    std::string reversed;
    for (int k = 17; k >= 1; --k)
        reversed += std::to_string(k) + "\n";
    test::WriteFile(temp / "order.txt", reversed);
    ASSERT_EQ(Cli({"distances", kCats, "-o", (temp / "a.txt").string()}).status, 0);
    const auto r = Cli({"distances", kCats, "--populations", (temp / "order.txt").string(), "-o", (temp / "b.txt").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  1 17: 13, 17.9%\n"), std::string::npos) << r.out;
    // Row 1 of the reordered matrix is row 17 of the first, reversed.
    std::istringstream a(test::ReadFile(temp / "a.txt")), b(test::ReadFile(temp / "b.txt"));
    std::vector<std::string> rowsA, rowsB;
    for (std::string line; std::getline(a, line);)
        rowsA.push_back(line);
    for (std::string line; std::getline(b, line);)
        rowsB.push_back(line);
    std::istringstream last(rowsA[16]), first(rowsB[0]);
    std::vector<double> x, y;
    for (double v; last >> v;)
        x.push_back(v);
    for (double v; first >> v;)
        y.push_back(v);
    std::reverse(x.begin(), x.end());
    ASSERT_EQ(x.size(), y.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        EXPECT_NEAR(x[i], y[i], 1e-15 + 1e-15 * x[i]);

    // A bgzip-style VCF (two gzip members) with its samples file.
    const std::string vcf = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\ts4\n"
                            "1\t1\trs1\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t1/1\t1|1\n";
    const std::string vcf2 = "1\t2\trs2\tC\tT\t.\t.\t.\tGT\t0/1\t./.\t0/0\t0/1\n";
    test::WriteFile(temp / "a.vcf", vcf);
    test::WriteFile(temp / "b.vcf", vcf2);
    ASSERT_EQ(std::system(("gzip -n -c " + (temp / "a.vcf").string() + " > " + (temp / "s.vcf.gz").string() + " && gzip -n -c " +
                           (temp / "b.vcf").string() + " >> " + (temp / "s.vcf.gz").string()).c_str()),
              0);
    test::WriteFile(temp / "samples.txt", "s1 north\ns2 north\ns3 south\ns4 south\n");
    const auto v = Cli({"distances", (temp / "s.vcf.gz").string(), "--samples", (temp / "samples.txt").string(),
                        "--distance", "rogers", "-o", (temp / "v.txt").string()});
    ASSERT_EQ(v.status, 0) << v.err;
    EXPECT_NE(v.out.find("2 populations, 4 individuals, 2 loci (diploid)"), std::string::npos) << v.out;
    EXPECT_NE(v.out.find("  1 north: 2, 25.0%"), std::string::npos) << v.out;
}

TEST(CliDistances, AnalyseWithGenotypesGivesTheDocumentOfTheWrittenMatrices)
{
    test::TempDir temp("cli-genotypes-analyse");
    const std::string map = (temp / "cats.dvt").string();
    ASSERT_EQ(Cli({"map", kExamples + "/nancycats-sites.txt", "--first-line", "2", "-o", map}).status, 0);
    const auto one = Cli({"analyse", map, "--genotypes", kCats, "--bootstrap", "25", "--seed", "5", "--sundrels", "2",
                          "-o", (temp / "one.dvk").string(), "--report", (temp / "one.txt").string()});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_NE(one.out.find("Layer 0 \"nancycats\": single run, 1 matrix of 17 populations, 2 sundrels"), std::string::npos);
    EXPECT_NE(one.out.find("Layer 1 \"nancycats bootstrap\": significance test, 25 matrices"), std::string::npos);

    const std::string matrices = (temp / "m.txt").string();
    ASSERT_EQ(Cli({"distances", kCats, "--bootstrap", "25", "--seed", "5", "-o", matrices}).status, 0);
    const std::string two = (temp / "two.dvk").string();
    ASSERT_EQ(Cli({"analyse", map, matrices, "--name", "nancycats", "--sundrels", "2", "-o", two,
                   "--report", (temp / "a.txt").string()}).status, 0);
    ASSERT_EQ(Cli({"analyse", two, matrices, "--first-line", "19", "--matrices", "25", "--gap", "1", "--name",
                   "nancycats bootstrap", "--sundrels", "2", "-o", two, "--report", (temp / "b.txt").string()}).status, 0);
    EXPECT_EQ(test::ReadFile(temp / "one.dvk"), test::ReadFile(two));
    EXPECT_EQ(test::ReadFile(temp / "one.txt"), test::ReadFile(temp / "a.txt") + test::ReadFile(temp / "b.txt"));
}

TEST(CliDistances, RefusalsNameWhatIsWrongAndLeaveNoOutput)
{
    test::TempDir temp("cli-genotypes-refusals");
    const std::string out = (temp / "out.dvk").string(), txt = (temp / "out.txt").string();
    const std::string sites40 = (temp / "sites.dvt").string();
    ASSERT_EQ(Cli({"map", kExamples + "/sites.txt", "--first-line", "2", "-o", sites40}).status, 0);
    test::WriteFile(temp / "order.txt", "1\n2\nnineteen\n2\n");
    test::WriteFile(temp / "bad.gen", "t\nl1, l2\nPOP\na , 0101 0102\nb , 0101 01\n");
    test::WriteFile(temp / "apart.gen", "t\nl1\nPOP\na , 0101\nA , 0101\nPOP\nb , 0202\nB , 0303\n");
    test::WriteFile(temp / "sites.csv", "id,site,lat,lon\n1,S1,45.1,6.2\n2,S2,45.3,6.1\n3,S3,45.2,6.0\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"analyse", sites40, "--genotypes", kCats, "-o", out}, 1,
         "The genotypes hold 17 populations but the map has 40 sites\n"},
        {{"distances", kCats, "--populations", (temp / "order.txt").string(), "-o", txt}, 1,
         (temp / "order.txt").string() + ": unknown populations \"nineteen\"; populations named twice \"2\"; "
                                         "15 populations not named, first: \"3\", \"4\", \"5\" \u2026\n"},
        {{"distances", (temp / "bad.gen").string(), "-o", txt}, 1,
         (temp / "bad.gen").string() + ", line 5: genotype \"01\" has 2 digits where this file's genotypes have 4\n"},
        {{"distances", (temp / "apart.gen").string(), "-o", txt}, 1,
         "Nei's distance between populations \"A\" and \"B\" is undefined: they share no allele at any of the 1 loci\n"},
        {{"distances", (temp / "sites.csv").string(), "-o", txt}, 1,
         (temp / "sites.csv").string() + ", line 1: no column from column 3 on holds genotypes"},
        {{"distances", (temp / "missing.gen").string(), "-o", txt}, 1,
         "Impossible to open the file: " + (temp / "missing.gen").string() + " (No such file or directory)\n"},
        {{"distances", kCats, "--seed", "3", "-o", txt}, 2, "sundrel-cli: --resample, --seed and --replicates need --bootstrap M\n"},
        {{"distances", kCats, "--bootstrap", "10", "--replicates", "5-11", "-o", txt}, 2,
         "sundrel-cli: --replicates must lie within 1-10 (--bootstrap 10)\n"},
        {{"distances", kCats, "--bootstrap", "2", "--seed", "18446744073709551616", "-o", txt}, 2,
         "sundrel-cli: --seed must be a whole number from 0 to 18446744073709551615, not '18446744073709551616'\n"},
        {{"distances", kCats, "--distance", "fst", "-o", txt}, 2,
         "sundrel-cli: --distance takes nei, edwards, reynolds, rogers or prevosti, not 'fst'\n"},
    };
    for (const Case& c : cases) {
        const auto r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[1];
        EXPECT_EQ(r.err.substr(0, c.message.size()), c.message);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_FALSE(std::filesystem::exists(txt));
    }
    EXPECT_EQ(temp.FileCount(), 5u); // the map and the four inputs written above
}

} // namespace
