// The genotype readers: one small data set written in every format reads to
// the same genotypes; adegenet's own nancycats files read alike from each
// format; every kind of malformed input is refused with the path, the line
// and the reason.

#include "genetics/Distances.h"
#include "genetics/GenotypeReaders.h"
#include "gzip/GzipSource.h"
#include "support/CliRunner.h"

#include "common/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

using namespace sundrel::genetics;

const std::string kFixtures = SUNDREL_GENETICS_FIXTURES;

// Three populations, two loci, one missing genotype (A at loc2).
const std::string kGenepop = "Small data set\nloc1, loc2\nPOP\na1 , 0101 0102\nA , 0102 0000\n"
                             "pop\nb1 , 0202 0202\nB , 0203 0102\n  Pop  \nC , 0303 0101\n";
const std::string kGenepop6 = "Small data set, 3 digits\r\nloc1\r\nloc2\r\nPOP\r\na1 , 001001 001002\r\n"
                              "A , 001002 000000\r\nPOP\r\nb1 , 002002 002002\r\nB,002003\r\n 001002\r\n"
                              "POP\r\nC , 003003 001001\r\n";
const std::string kFstat = "3 2 3 2\nloc1\nloc2\n1 0101 0102\n1 102 0\n2 0202 0202\n2 0203 0102\n3 0303 0101\n";
const std::string kStructure2 = "loc1 loc2\na1 A 01 01\na1 A 01 02\nA A 01 -9\nA A 02 -9\nb1 B 02 02\n"
                                "b1 B 02 02\nB B 02 01\nB B 03 02\nC C 03 01\nC C 03 01\n";
const std::string kStructure1 = "a1\tA\t01\t01\t01\t02\nA\tA\t01\t02\t-9\t-9\nb1\tB\t02\t02\t02\t02\n"
                                "B\tB\t02\t03\t01\t02\nC\tC\t03\t03\t01\t01\n";
const std::string kCsv = "ind,pop,loc1,loc1,loc2,loc2\na1,A,01,01,01,02\nA,A,01,02,NA,NA\n"
                         "b1,B,02,02,02,02\nB,B,02,03,01,02\nC,C,03,03,01,01\n";
const std::string kTsv = "ind\tpop\tloc1\tloc2\na1\tA\t01/01\t01/02\nA\tA\t01/02\t./.\n"
                         "b1\tB\t02/02\t02/02\nB\tB\t02/03\t01/02\nC\tC\t03/03\t01|01\n";
const std::string kVcf = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta1\tA\tb1\tB\tC\n"
                         "1\t10\tloc1\t01\t02,03\t.\t.\t.\tGT:DP\t0/0:3\t0/1:4\t1/1:2\t1|2:5\t2/2:1\n"
                         "1\t20\tloc2\t01\t02\t.\t.\t.\tGT\t0/1\t./.\t1/1\t0/1\t0/0\n";
const std::string kSamples = "a1 A\nA A\nb1 B\n# comment\nB B\nC C\n";

GenotypeData Parse(const std::string& text, ReadOptions options = {})
{
    return ParseGenotypes("data.txt", text, options);
}

std::string ErrorOf(const std::string& text, ReadOptions options = {})
{
    try {
        Parse(text, options);
    } catch (const sundrel::Error& e) {
        return e.what();
    }
    return "no error";
}

TEST(GenotypeReaders, OneDataSetReadsAlikeFromEveryFormat)
{
    test::TempDir temp("genotype-formats");
    test::WriteFile(temp / "samples.txt", kSamples);
    ReadOptions vcf;
    vcf.samplesFile = (temp / "samples.txt").string();
    struct Case {
        const char* name;
        const std::string& text;
        GenotypeFormat format;
        ReadOptions options;
    };
    const std::vector<Case> cases = {
        {"genepop", kGenepop, GenotypeFormat::Genepop, {}},
        {"genepop 3 digits, CRLF, continued line", kGenepop6, GenotypeFormat::Genepop, {}},
        {"fstat", kFstat, GenotypeFormat::Fstat, {}},
        {"structure two rows", kStructure2, GenotypeFormat::Structure, {}},
        {"structure one row", kStructure1, GenotypeFormat::Structure, {}},
        {"csv", kCsv, GenotypeFormat::Table, {}},
        {"tsv a/b", kTsv, GenotypeFormat::Table, {}},
        {"vcf", kVcf, GenotypeFormat::Vcf, vcf},
    };
    const std::vector<double> expected = {0.75, 0.25, 0, 0.5, 0.5, 0, 0.75, 0.25, 0.25, 0.75, 0, 0, 1, 1, 0};
    // Each file also with old Mac line ends (CR alone), its samples file too.
    std::vector<Case> everyEnd = cases;
    std::vector<std::string> crTexts;
    crTexts.reserve(cases.size());
    for (const Case& c : cases) {
        std::string cr = c.text;
        std::replace(cr.begin(), cr.end(), '\n', '\r');
        crTexts.push_back(cr);
    }
    for (std::size_t k = 0; k < cases.size(); ++k)
        everyEnd.push_back({cases[k].name, crTexts[k], cases[k].format, cases[k].options});
    std::string crSamples = kSamples;
    std::replace(crSamples.begin(), crSamples.end(), '\n', '\r');
    for (std::size_t k = 0; k < everyEnd.size(); ++k) {
        const Case& c = everyEnd[k];
        const bool cr = k >= cases.size();
        SCOPED_TRACE(std::string(c.name) + (cr ? ", CR line ends" : ""));
        test::WriteFile(temp / "samples.txt", cr ? crSamples : kSamples);
        EXPECT_EQ(DetectFormat(c.text), c.format);
        const GenotypeData d = Parse(c.text, c.options);
        EXPECT_EQ(d.populationCount(), 3u);
        EXPECT_EQ(d.individualCount(), 5u);
        ASSERT_EQ(d.locusCount(), 2u);
        EXPECT_EQ(d.loci[0], c.text.rfind("a1\tA", 0) == 0 ? "L1" : "loc1");
        EXPECT_EQ(d.alleles[0].size(), 3u);
        EXPECT_EQ(d.alleles[1].size(), 2u);
        EXPECT_EQ(d.genotype(1, 1)[0], kMissing);
        const AlleleFrequencies f = Frequencies(d, UntypedRule::Zero);
        EXPECT_EQ(f.values, expected);
        const GenotypeSummary s = Summarise(d);
        EXPECT_EQ(s.maxPloidy, 2);
        EXPECT_EQ(s.populations[0].individuals, 2);
        EXPECT_DOUBLE_EQ(s.populations[0].missingPercent, 25.0);
        EXPECT_DOUBLE_EQ(s.populations[2].missingPercent, 0.0);
        if (c.format != GenotypeFormat::Fstat) {
            EXPECT_EQ(d.populations, (std::vector<std::string>{"A", "B", "C"}));
        }
    }
}

TEST(GenotypeReaders, HaploidGenotypesCountOneCopy)
{
    for (const std::string& text : {std::string("haploid\nl1\nPOP\nx , 01\ny , 02\nPOP\nz , 01\n"),
                                    std::string("haploid\nl1\nPOP\nx , 001\ny , 002\nPOP\nz , 001\n"),
                                    std::string("ind,pop,l1\nx,P,01\ny,P,02\nz,Q,01\n"),
                                    std::string("ind\tpop\tl1\tl2\nx\tP\t01\t01\ny\tP\t02\t01\nz\tQ\t01\t02\n")}) {
        const GenotypeData d = Parse(text);
        EXPECT_EQ(Summarise(d).maxPloidy, 1);
        EXPECT_EQ(d.genotype(0, 0)[1], kAbsent);
        const std::vector<double> f = Frequencies(d, UntypedRule::Mean).values;
        EXPECT_EQ(std::vector<double>(f.begin(), f.begin() + 2), (std::vector<double>{0.5, 0.5}));
    }
}

TEST(GenotypeReaders, AdegenetNancycatsReadsAlikeFromEachFormat)
{
    ReadOptions structure;
    structure.columns.firstLocusColumn = 4; // label, population, one more column
    const GenotypeData gen = ReadGenotypeFile(kFixtures + "/nancycats.gen", {});
    const GenotypeData dat = ReadGenotypeFile(kFixtures + "/nancycats.dat", {});
    const GenotypeData str = ReadGenotypeFile(kFixtures + "/nancycats.str", structure);
    std::vector<std::string> colonies;
    for (int k = 1; k <= 17; ++k)
        colonies.push_back(std::to_string(k));
    for (const GenotypeData* d : {&gen, &dat, &str}) {
        SCOPED_TRACE(d->path);
        EXPECT_EQ(d->populations, colonies);
        EXPECT_EQ(d->individualCount(), 237u);
        EXPECT_EQ(d->locusCount(), 9u);
        const GenotypeSummary s = Summarise(*d);
        EXPECT_EQ(s.populations[1].individuals, 22);
        EXPECT_EQ(s.alleles[0].second, 16);
        for (Distance m : {Distance::Nei, Distance::Edwards, Distance::Reynolds, Distance::Rogers, Distance::Prevosti})
            EXPECT_EQ(ObservedDistances(*d, m, UntypedRule::Mean), ObservedDistances(gen, m, UntypedRule::Mean))
                << DistanceName(m);
    }
    EXPECT_EQ(gen.loci, dat.loci);
    EXPECT_EQ(gen.alleles, dat.alleles);
    EXPECT_EQ(DetectFormat(test::ReadFile(kFixtures + "/nancycats.str")), GenotypeFormat::Structure);
}

TEST(GenotypeReaders, MalformedInputIsRefusedWithPathLineAndReason)
{
    struct Case {
        std::string text;
        std::string message;
        GenotypeFormat format = GenotypeFormat::Detect;
        int rows = 0;
    };
    const std::vector<Case> cases = {
        {"t\nl1, l2\nPOP\na , 0101 012\n", "data.txt, line 4: genotype \"012\" has 3 digits where this file's genotypes have 4"},
        {"t\nl1, l2\nPOP\na , 01011 0101\n", "data.txt, line 4: genotype \"01011\" is not 2 or 3 digits"},
        {"t\nl1, l2\nPOP\na , 0101 0101\nb , 0101\n", "data.txt, line 5: 1 genotype for 2 loci (the line is cut short)"},
        {"t\nl1, l2\nPOP\na , 0101 0101 0101\n", "data.txt, line 4: 3 genotypes for 2 loci"},
        {"t\nl1\nPOP\nPOP\na , 0101\n", "data.txt, line 3: this POP line opens a population with no individual"},
        {"t\nl1\nPOP\na , 0101\nPOP\n", "data.txt, line 5: this POP line opens a population with no individual"},
        {"t\nl1\nPOP\na , 01x1\n", "data.txt, line 4: genotype \"01x1\" is not made of digits"},
        {"t\nl1\nPOP\na 0101\n", "data.txt, line 4: an individual's line needs a comma"},
        // A line lacking its comma is named, not the individual before it.
        {"t\nl1, l2\nPOP\na , 0101 0102\nb 0101 0102\n", "data.txt, line 5: an individual's line needs a comma"},
        {"t\nl1, l2\nPOP\na , 0101\nb 0101\n", "data.txt, line 5: an individual's line needs a comma"},
        {"t\nl1\nPOP\nZ\xFCrich , 0101\n", "data.txt, line 4: the text is not UTF-8 (Latin-1 or another encoding?)"},
        {"ind,pop,l1\nZ\xFCrich,A,01\n", "data.txt, line 2: the text is not UTF-8"},
        {"ind,pop,l1\n\"a,A,01\n", "data.txt, line 2: a field opens a double quote that the line does not close"},
        {"t\nl1, l2\nPOP\na , 0101 0000\nb , 0102 0000\n", "data.txt: locus \"l2\" has no typed allele in any population"},
        {"3 1 2 2\nl1\n1 0101\n2 0102\n", "data.txt: population \"3\" has no individual"},
        {"2 1 2 2\nl1\n1 0101\n4 0102\n", "data.txt, line 4: population \"4\" is not a number from 1 to 2"},
        {"2 2 2 2\nl1\nl2\n1 0101 0101\n2 0102\n", "data.txt, line 5: 1 genotype for 2 loci"},
        {"2 2 2 2\nl1\n", "data.txt: the file ends before the 2 locus names"},
        {"2 2 2 9\nl1\n", "data.txt, line 1: the first line must give four whole numbers", GenotypeFormat::Fstat},
        {"a A 01 01\na A 01 02\nb B 01\nb B 01 01\n", "data.txt, line 3: 3 fields where the rows have 4 (an allele column is missing"},
        {"a A 01 01\nb A 01 02\nb B 01 02\n", "data.txt, line 3: two rows per individual, but the file holds an odd number",
         GenotypeFormat::Structure, 2},
        {"ind,pop,l1,l1\na,A,01,01\nb,B,01\n", "data.txt, line 3: 3 fields where the header has 4 (an allele column is missing"},
        {"ind,pop,l1,l1,l2\na,A,01,01,02\n", "data.txt, line 1: the allele columns cannot be paired"},
        {"ind,pop,l1.1,l1.2,l2.1,l2.2\na,A,01,01,02\n", "data.txt, line 2: 5 fields where the header has 6"},
        {"ind\tpop\tl1\na\tA\t01/02/03\n", "data.txt, line 2: allele \"01/02/03\" cannot be read"},
        {"hello\nworld\n", "data.txt: the format cannot be told from the content"},
        {std::string("\xFF\xFEt\0i\0t\0", 8), "data.txt: the file is UTF-16 text"},
        {std::string("t\nl1\nPOP\na\x01 , 0101\n"), "data.txt, line 4: the file holds bytes that are not text"},
        {std::string("t\nl1\nPOP\na , 0101\n\0\0\x01\x02", 22), "data.txt, line 5: the file holds bytes that are not text"},
        // Tabs are text: loci separated by tabs make one locus, not binary data.
        {"t\nl1\tl2\nPOP\na , 0101 0102\n", "data.txt, line 4: 2 genotypes for 1 locus"},
        {"##fileformat=VCFv4.2\n1\t2\n", "data.txt, line 2: no #CHROM header line"},
    };
    for (const Case& c : cases) {
        ReadOptions options;
        options.format = c.format;
        options.columns.rowsPerIndividual = c.rows;
        const std::string error = ErrorOf(c.text, options);
        EXPECT_EQ(error.substr(0, c.message.size()), c.message) << c.text;
    }
}

TEST(GenotypeReaders, VcfSamplesAreAllAssignedAndAllPresent)
{
    test::TempDir temp("genotype-vcf");
    const auto vcfError = [&](const std::string& samples, const std::string& vcf) {
        test::WriteFile(temp / "samples.txt", samples);
        ReadOptions options;
        options.samplesFile = (temp / "samples.txt").string();
        return ErrorOf(vcf, options);
    };
    EXPECT_EQ(vcfError("a1 A\nA A\nb1 B\nC C\n", kVcf), "data.txt: 1 sample has no population in the samples file: B");
    EXPECT_EQ(vcfError(kSamples + "z Z\ny Z\n", kVcf),
              (temp / "samples.txt").string() + ": 2 samples are not in the VCF file: z, y");
    EXPECT_EQ(vcfError("a1 A\na1 B\n", kVcf), (temp / "samples.txt").string() + ", line 2: sample \"a1\" is assigned twice");
    EXPECT_EQ(vcfError("a1\n", kVcf).find("line 1: expected a sample name"), (temp / "samples.txt").string().size() + 2);
    std::string bad = kVcf;
    bad.replace(bad.find("2/2:1"), 5, "3/3:1");
    EXPECT_EQ(vcfError(kSamples, bad), "data.txt, line 3: genotype \"3/3\" names an allele beyond the 3 of REF and ALT");
    EXPECT_EQ(ErrorOf(kVcf), "data.txt: a VCF file needs a samples file assigning each sample to a population");
    // Populations in the order they first appear in the samples file.
    test::WriteFile(temp / "samples.txt", "C C\nb1 B\nB B\na1 A\nA A\n");
    ReadOptions options;
    options.samplesFile = (temp / "samples.txt").string();
    EXPECT_EQ(Parse(kVcf, options).populations, (std::vector<std::string>{"C", "B", "A"}));
}

TEST(GenotypeReaders, GzipNeedsTheDecompressingSourceAndRefusesDamagedData)
{
    const std::string gz = kFixtures + "/microbov.gen.gz";
    try {
        ReadGenotypeFile(gz, {});
        FAIL() << "read compressed data as text";
    } catch (const sundrel::Error& e) {
        EXPECT_EQ(std::string(e.what()), gz + ": the file is compressed (gzip), which this program cannot read");
    }
    const GenotypeData d = ReadGenotypeFile(gz, {}, sundrel::gzip::OpenSource);
    EXPECT_EQ(d.populationCount(), 15u);
    EXPECT_EQ(d.individualCount(), 704u);
    EXPECT_EQ(d.locusCount(), 30u);

    test::TempDir temp("genotype-gzip");
    const std::string bytes = test::ReadFile(gz);
    test::WriteFile(temp / "cut.gen.gz", bytes.substr(0, bytes.size() / 2));
    std::string flipped = bytes;
    flipped[bytes.size() / 2] ^= 0x55;
    test::WriteFile(temp / "flipped.gen.gz", flipped);
    for (const char* name : {"cut.gen.gz", "flipped.gen.gz"}) {
        const std::string path = (temp / name).string();
        try {
            ReadGenotypeFile(path, {}, sundrel::gzip::OpenSource);
            ADD_FAILURE() << name;
        } catch (const sundrel::Error& e) {
            EXPECT_EQ(std::string(e.what()), path + ": the compressed data are damaged or cut short");
        }
    }
    // Two gzip members one after the other (as bgzip writes) read as one text.
    test::WriteFile(temp / "twice.gen.gz", bytes + bytes);
    const std::unique_ptr<ByteSource> source = sundrel::gzip::OpenSource(temp / "twice.gen.gz");
    const std::string text = ReadAll(*source);
    const std::unique_ptr<ByteSource> once = sundrel::gzip::OpenSource(gz);
    EXPECT_EQ(text, ReadAll(*once) + ReadAll(*sundrel::gzip::OpenSource(gz)));
}

// STRUCTURE rows pair up only when the labels come in runs of exactly two
// rows of one population; labels that are the populations leave it open,
// and the summary says what was chosen.
TEST(GenotypeReaders, StructureRowsPairOnlyInRunsOfTwo)
{
    const auto rows = [](const std::string& text) {
        const GenotypeData d = Parse(text, {});
        return std::make_pair(d.individualCount(), d.locusCount());
    };
    // Site names as labels, four individuals at each site: one row each.
    const std::string sites = "S1 1 01 02 01 01\nS1 1 02 02 01 02\nS1 1 01 01 02 02\nS1 1 01 02 01 01\n"
                              "S2 2 02 02 01 01\nS2 2 01 02 02 02\nS2 2 02 02 01 02\nS2 2 01 01 01 01\n";
    EXPECT_EQ(rows(sites), std::make_pair(std::size_t(8), std::size_t(2)));
    // Pairs of one label but of two populations are two individuals.
    EXPECT_EQ(rows("a 1 01 02\na 2 01 01\nb 1 02 02\nb 2 01 02\n"), std::make_pair(std::size_t(4), std::size_t(1)));
    // Individual labels in pairs: two rows each, nothing to say.
    const GenotypeData pairs = Parse(kStructure2);
    EXPECT_EQ(pairs.individualCount(), 5u);
    EXPECT_TRUE(pairs.notes.empty());
    // Site names as labels, two rows at each site: two rows per individual,
    // said in the summary; asked for one row, one row it is.
    const std::string twoEach = "S1 S1 01 02\nS1 S1 02 02\nS2 S2 01 01\nS2 S2 02 01\n";
    const std::vector<std::string> lines = SummaryLines(Summarise(Parse(twoEach)));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "2 populations, 2 individuals, 2 loci (diploid)");
    EXPECT_EQ(lines[1], "read as two rows per individual (each label comes in a run of two rows); if each row is "
                        "an individual, read it with one row per individual");
    ReadOptions one;
    one.columns.rowsPerIndividual = 1;
    const GenotypeData d = Parse(twoEach, one);
    EXPECT_EQ(d.individualCount(), 4u);
    EXPECT_TRUE(d.notes.empty());
}

// Tables as R's write.csv and spreadsheets write them; tables of other data
// are refused unless their columns are chosen.
TEST(GenotypeReaders, TablesReadQuotedFieldsAndRefuseOtherData)
{
    const GenotypeData quoted = Parse("\"ind\",\"pop\",\"l1\",\"l1\"\n\"a\",\"Nancy, colony P01\",\"01\",\"02\"\n"
                                      "\"b\",  \"Nancy, \"\"old\"\" colony\" ,01,01\n\"c\",\"Nancy, colony P01\",02,02\n");
    EXPECT_EQ(quoted.populations, (std::vector<std::string>{"Nancy, colony P01", "Nancy, \"old\" colony"}));
    EXPECT_EQ(quoted.individualCount(), 3u);
    EXPECT_EQ(quoted.loci, (std::vector<std::string>{"l1"}));
    // A tab-separated header whose quoted names hold commas stays tabbed.
    EXPECT_EQ(Parse("ind\t\"pop, site\"\tl1\na\tA\t01/02\nb\tA\t01/01\nc\tB\t02/02\n").populations,
              (std::vector<std::string>{"A", "B"}));

    const std::string metadata = "id,site,lat,lon,date\n1,S1,45.1,6.2,2019-05-03\n2,S2,45.3,6.1,2019-05-04\n"
                                 "3,S3,45.2,6.0,2019-05-04\n";
    EXPECT_EQ(ErrorOf(metadata), "data.txt, line 1: no column from column 3 on holds genotypes (whole numbers such "
                                 "as 120 or 0120, bases such as A, pairs such as 120/124): choose the first locus "
                                 "column if this is a genotype table");
    const std::string counts = "id,year,count\n1,2001,3\n2,2002,4\n3,2003,3\n";
    EXPECT_EQ(ErrorOf(counts), "data.txt, line 1: each of the 3 individuals is a population of its own (column 2, "
                               "\"year\"): choose the population column if that is meant");
    ReadOptions chosen;
    chosen.columns.populationColumn = 2;
    EXPECT_EQ(Parse(counts, chosen).populationCount(), 3u);
    chosen.columns.firstLocusColumn = 3;
    EXPECT_EQ(Parse(metadata, chosen).locusCount(), 3u);
    // Bases are alleles.
    EXPECT_EQ(Parse("ind,pop,snp1,snp2\na,P,A/G,T\nb,P,G/G,-\nc,Q,A/A,C\n").locusCount(), 2u);
}

TEST(GenotypeReaders, LongNameListsAreCountedAndCut)
{
    test::TempDir temp("genotype-long-lists");
    std::string header = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    std::string row = "\n1\t10\tl1\tA\tC\t.\t.\t.\tGT";
    for (int k = 0; k < 800; ++k) {
        header += "\ts0_" + std::to_string(k);
        row += k % 2 ? "\t0/1" : "\t1";
    }
    const std::string vcf = header + row + "\n";
    ReadOptions options;
    options.samplesFile = (temp / "samples.txt").string();
    test::WriteFile(temp / "samples.txt", "other P\n");
    EXPECT_EQ(ErrorOf(vcf, options), "data.txt: 800 samples have no population in the samples file, first: s0_0, "
                                     "s0_1, s0_2 \u2026");
    std::string all;
    for (int k = 0; k < 800; ++k)
        all += "s0_" + std::to_string(k) + (k < 400 ? " P\n" : " Q\n");
    test::WriteFile(temp / "samples.txt", all + "x P\ny P\n");
    EXPECT_EQ(ErrorOf(vcf, options), options.samplesFile + ": 2 samples are not in the VCF file: x, y");
    test::WriteFile(temp / "samples.txt", all);
    const GenotypeData mixed = Parse(vcf, options);
    EXPECT_EQ(SummaryLines(Summarise(mixed))[0], "2 populations, 800 individuals, 1 loci (haploid and diploid)");
    // The population order file: a few named whole, many counted.
    GenotypeData d = mixed;
    std::vector<std::string> names(600, "nowhere");
    for (int k = 0; k < 600; ++k)
        names[static_cast<std::size_t>(k)] += std::to_string(k);
    try {
        ReorderPopulations(d, names, "order.txt");
        FAIL();
    } catch (const sundrel::Error& e) {
        EXPECT_STREQ(e.what(), "order.txt: 600 unknown populations, first: \"nowhere0\", \"nowhere1\", \"nowhere2\" "
                               "\u2026; populations not named \"P\", \"Q\"");
    }
}

TEST(GenotypeReaders, PopulationsReorderByNameAndCountsAreChecked)
{
    GenotypeData d = Parse(kGenepop);
    EXPECT_THROW(CheckPopulationCount(d, 40), sundrel::Error);
    try {
        CheckPopulationCount(d, 40);
    } catch (const sundrel::Error& e) {
        EXPECT_STREQ(e.what(), "The genotypes hold 3 populations but the map has 40 sites");
    }
    CheckPopulationCount(d, 3);
    try {
        ReorderPopulations(d, {"C", "X", "C", "Y"}, "order.txt");
        FAIL();
    } catch (const sundrel::Error& e) {
        EXPECT_STREQ(e.what(), "order.txt: unknown populations \"X\", \"Y\"; populations named twice \"C\"; "
                               "populations not named \"A\", \"B\"");
    }
    const std::vector<double> before = ObservedDistances(d, Distance::Nei, UntypedRule::Mean);
    // The order file may end its lines in CR alone.
    test::TempDir temp("genotype-order");
    test::WriteFile(temp / "order.txt", "C\r A \r\rB\r");
    ReorderPopulations(d, ReadPopulationNames((temp / "order.txt").string()), "order.txt");
    EXPECT_EQ(d.populations, (std::vector<std::string>{"C", "A", "B"}));
    EXPECT_EQ(d.individuals, (std::vector<std::string>{"C", "a1", "A", "b1", "B"}));
    const std::vector<double> after = ObservedDistances(d, Distance::Nei, UntypedRule::Mean);
    // Pairs (A,C) (B,C) (A,B) before are at (C,A)=0, (C,B)=1, (A,B)=2 after.
    ASSERT_EQ(after.size(), 3u);
    EXPECT_DOUBLE_EQ(after[0], before[1]);
    EXPECT_DOUBLE_EQ(after[1], before[2]);
    EXPECT_DOUBLE_EQ(after[2], before[0]);
}

TEST(GenotypeReaders, SummaryNamesEveryPart)
{
    const std::vector<std::string> lines = SummaryLines(Summarise(Parse(kGenepop)));
    EXPECT_EQ(lines, (std::vector<std::string>{"3 populations, 5 individuals, 2 loci (diploid)",
                                                "population: individuals, missing genotypes", "  1 A: 2, 25.0%",
                                                "  2 B: 2, 0.0%", "  3 C: 1, 0.0%", "alleles per locus: loc1 3, loc2 2"}));
}

} // namespace
