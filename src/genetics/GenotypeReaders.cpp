#include "genetics/GenotypeReaders.h"

#include "common/Errors.h"
#include "common/Job.h"
#include "genetics/Messages.h"
#include "import/FileReader.h"
#include "import/Messages.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_map>

namespace sundrel::genetics {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void SplitSpaces(std::string_view line, std::vector<std::string_view>& out)
{
    out.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSpace(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsSpace(line[i]))
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
}

void SplitOn(std::string_view line, char delimiter, std::vector<std::string_view>& out)
{
    out.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = line.find(delimiter, start);
        out.push_back(line.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos)
            return;
        start = at + 1;
    }
}

bool AllDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsInteger(std::string_view s)
{
    if (!s.empty() && (s[0] == '-' || s[0] == '+'))
        s.remove_prefix(1);
    return AllDigits(s);
}

// The file's lines (ended by LF, CRLF or CR alone), after a UTF-8 byte order
// mark. Text that is not text is refused here.
class Lines {
public:
    Lines(const std::string& path, std::string_view text) : path_(path)
    {
        if (text.size() >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0)
            text.remove_prefix(3);
        const TextKind kind = ClassifyText(text.data(), std::min<std::size_t>(text.size(), 1 << 16));
        if (kind == TextKind::Utf16)
            fail(0, msg::GenotypesUtf16);
        lines_ = SplitLines(text);
        if (kind == TextKind::Binary)
            for (std::size_t i = 0; i < lines_.size(); ++i)
                if (lines_[i].find('\0') != std::string_view::npos)
                    fail(static_cast<std::int64_t>(i + 1), msg::GenotypesBinary);
    }

    std::size_t size() const { return lines_.size(); }
    std::string_view operator[](std::size_t i) const { return lines_[i]; }

    // Refuses a field holding control characters other than tabs (white
    // space a field split at commas may keep) as binary data, and one whose
    // bytes are not UTF-8 (a name in Latin-1, say) as such.
    void checkText(std::size_t index, std::string_view field) const
    {
        for (char c : field)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
                std::size_t start = 0;
                while (start <= field.size()) {
                    const std::size_t tab = std::min(field.find('\t', start), field.size());
                    const std::string_view part = field.substr(start, tab - start);
                    if (NotText(part)) {
                        const bool controls = std::any_of(part.begin(), part.end(), [](char ch) {
                            return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F;
                        });
                        failAt(index, controls ? msg::GenotypesBinary : msg::GenotypesNotUtf8);
                    }
                    start = tab + 1;
                }
                return;
            }
    }

    [[noreturn]] void fail(std::int64_t line, const std::string& reason) const
    {
        throw Error(msg::GenotypeFileFault(path_, line, reason));
    }
    [[noreturn]] void failAt(std::size_t index, const std::string& reason) const
    {
        fail(static_cast<std::int64_t>(index + 1), reason);
    }

private:
    std::string path_;
    std::vector<std::string_view> lines_;
};

// Collects populations, loci, alleles and individuals in reading order.
class Builder {
public:
    Builder(const Lines& lines, const std::string& path, const JobFeedback* cancel)
        : lines_(lines), cancel_(cancel)
    {
        data_.path = path;
    }

    void checkCancel(std::size_t index) const
    {
        if ((index & 1023) == 0 && cancel_ && cancel_->isCancelled())
            throw Abort(msg::ReadingAborted);
    }

    std::int32_t population(std::string_view name)
    {
        const auto found = populationIndex_.find(std::string(name));
        if (found != populationIndex_.end())
            return found->second;
        const auto index = static_cast<std::int32_t>(data_.populations.size());
        data_.populations.emplace_back(name);
        populationIndex_.emplace(std::string(name), index);
        return index;
    }

    // A population that must exist even when no individual follows.
    void declarePopulation(std::string_view name) { population(name); }
    bool hasPopulation(const std::string& name) const { return populationIndex_.count(name) != 0; }

    void setLoci(std::vector<std::string> names)
    {
        data_.loci = std::move(names);
        data_.alleles.assign(data_.loci.size(), {});
        alleleIndex_.assign(data_.loci.size(), {});
    }
    std::size_t locusCount() const { return data_.loci.size(); }

    Copy allele(std::size_t locus, std::string_view name, std::size_t lineIndex)
    {
        auto& index = alleleIndex_[locus];
        const auto found = index.find(std::string(name));
        if (found != index.end())
            return found->second;
        auto& names = data_.alleles[locus];
        if (names.size() >= kMaxAlleles)
            lines_.failAt(lineIndex, msg::TooManyAlleles(data_.loci[locus]));
        const auto copy = static_cast<Copy>(names.size());
        names.emplace_back(name);
        index.emplace(std::string(name), copy);
        return copy;
    }

    // A new individual, all genotypes missing; returns its index.
    std::size_t individual(std::string_view name, std::int32_t population)
    {
        data_.individuals.emplace_back(name);
        data_.population.push_back(population);
        data_.copies.resize(data_.copies.size() + data_.loci.size() * 2, kMissing);
        return data_.individuals.size() - 1;
    }

    Copy* genotype(std::size_t individual, std::size_t locus)
    {
        return data_.copies.data() + (individual * data_.loci.size() + locus) * 2;
    }

    // Sets one genotype from its allele texts; a missing copy (per
    // `isMissing`) makes the whole genotype missing.
    template <typename Missing>
    void set(std::size_t ind, std::size_t locus, std::string_view a, std::string_view b, bool haploid,
             std::size_t lineIndex, const Missing& isMissing)
    {
        Copy* g = genotype(ind, locus);
        if (isMissing(a) || (!haploid && isMissing(b))) {
            g[0] = g[1] = kMissing;
            return;
        }
        lines_.checkText(lineIndex, a);
        g[0] = allele(locus, a, lineIndex);
        if (haploid) {
            g[1] = kAbsent;
        } else {
            lines_.checkText(lineIndex, b);
            g[1] = allele(locus, b, lineIndex);
        }
    }

    GenotypeData finish()
    {
        if (data_.loci.empty())
            lines_.fail(0, msg::NoLoci);
        if (data_.individuals.empty())
            lines_.fail(0, msg::NoGenotypes);
        std::vector<char> peopled(data_.populations.size(), 0);
        for (std::int32_t p : data_.population)
            peopled[static_cast<std::size_t>(p)] = 1;
        for (std::size_t p = 0; p < peopled.size(); ++p)
            if (!peopled[p])
                lines_.fail(0, msg::EmptyPopulation(data_.populations[p]));
        for (std::size_t l = 0; l < data_.loci.size(); ++l)
            if (data_.alleles[l].empty())
                lines_.fail(0, msg::UntypedLocus(data_.loci[l]));
        return std::move(data_);
    }

    GenotypeData& data() { return data_; }

private:
    const Lines& lines_;
    const JobFeedback* cancel_;
    GenotypeData data_;
    std::unordered_map<std::string, std::int32_t> populationIndex_;
    std::vector<std::unordered_map<std::string, Copy>> alleleIndex_;
};

bool IsPopLine(std::string_view line)
{
    return EqualsNoCase(Trim(line), "pop");
}

// GENEPOP: title; loci on one line separated by commas or one per line; then
// populations, each after a line POP, individuals "name , genotypes". A line
// without a comma continues the individual before it. Populations are named
// after their last individual, as GENEPOP does.
GenotypeData ReadGenepop(const Lines& lines, const ReadOptions& options, const std::string& path)
{
    Builder b(lines, path, options.cancel);
    std::size_t i = 1;
    std::vector<std::string> loci;
    std::vector<std::string_view> parts;
    for (; i < lines.size() && !IsPopLine(lines[i]); ++i) {
        b.checkCancel(i);
        lines.checkText(i, lines[i]);
        SplitOn(lines[i], ',', parts);
        for (std::string_view name : parts)
            if (!Trim(name).empty())
                loci.emplace_back(Trim(name));
    }
    if (i >= lines.size())
        lines.fail(0, msg::GenepopNoPop);
    if (loci.empty())
        lines.failAt(i, msg::NoLoci);
    b.setLoci(std::move(loci));
    const std::size_t nloc = b.locusCount();

    std::size_t width = 0; // digits per genotype, from the first one
    std::vector<std::string_view> tokens;
    struct Pending {
        std::size_t line = 0;
        std::string name;
        std::vector<std::string_view> genotypes;
    };
    std::vector<Pending> population; // individuals of the population being read
    std::size_t popLine = 0;
    std::vector<std::vector<Pending>> populations;

    auto close = [&]() {
        if (population.empty())
            lines.failAt(popLine, msg::GenepopPopNoIndividual);
        populations.push_back(std::move(population));
        population.clear();
    };
    for (; i < lines.size(); ++i) {
        b.checkCancel(i);
        const std::string_view line = lines[i];
        if (IsPopLine(line)) {
            if (popLine != 0 || !populations.empty() || !population.empty())
                close();
            popLine = i;
            continue;
        }
        if (Trim(line).empty())
            continue;
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos) {
            // A line continues the individual before it with genotypes
            // only, and only while that one lacks some: anything else is
            // an individual whose line lacks its comma.
            SplitSpaces(line, tokens);
            if (population.empty() || population.back().genotypes.size() >= nloc || !AllDigits(tokens[0]))
                lines.failAt(i, msg::GenepopNoComma);
            population.back().genotypes.insert(population.back().genotypes.end(), tokens.begin(), tokens.end());
            continue;
        }
        const std::string_view name = Trim(line.substr(0, comma));
        lines.checkText(i, name);
        SplitSpaces(line.substr(comma + 1), tokens);
        population.push_back({i, std::string(name), tokens});
    }
    close();

    // A population is named after its last individual; a name taken by an
    // earlier population gets the population's number as a suffix.
    std::int32_t number = 0;
    for (auto& pop : populations) {
        ++number;
        std::string name = pop.back().name;
        if (b.hasPopulation(name))
            name += " (" + std::to_string(number) + ")";
        const std::int32_t p = b.population(name);
        for (const Pending& ind : pop) {
            if (ind.genotypes.size() != nloc)
                lines.failAt(ind.line, msg::GenotypeCount(ind.genotypes.size(), nloc));
            const std::size_t k = b.individual(ind.name, p);
            for (std::size_t l = 0; l < nloc; ++l) {
                const std::string_view g = ind.genotypes[l];
                if (!AllDigits(g))
                    lines.failAt(ind.line, msg::NotDigits(g));
                if (width == 0) {
                    if (g.size() < 2 || g.size() > 6 || g.size() == 5)
                        lines.failAt(ind.line, msg::BadGenotypeWidth(g));
                    width = g.size();
                } else if (g.size() != width) {
                    lines.failAt(ind.line, msg::GenotypeWidth(g, g.size(), width));
                }
                const bool haploid = width <= 3;
                const std::size_t digits = haploid ? width : width / 2;
                const std::string_view a = g.substr(0, digits);
                const std::string_view c = haploid ? std::string_view() : g.substr(digits);
                b.set(k, l, a, c, haploid, ind.line,
                      [](std::string_view s) { return std::all_of(s.begin(), s.end(), [](char ch) { return ch == '0'; }); });
            }
        }
    }
    return b.finish();
}

bool ParseInt(std::string_view s, std::int64_t& v)
{
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size();
}

// FSTAT: "np nl nu nd", nl locus names one per line, then lines "pop
// genotype..." with populations numbered 1 to np and genotypes of nd digits
// per allele (leading zeros may be left out); 0 is missing.
GenotypeData ReadFstat(const Lines& lines, const ReadOptions& options, const std::string& path)
{
    Builder b(lines, path, options.cancel);
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < lines.size() && Trim(lines[i]).empty())
        ++i;
    if (i >= lines.size())
        lines.fail(0, msg::NoGenotypes);
    SplitSpaces(lines[i], tokens);
    std::int64_t head[4] = {0, 0, 0, 0};
    if (tokens.size() != 4 || !ParseInt(tokens[0], head[0]) || !ParseInt(tokens[1], head[1]) ||
        !ParseInt(tokens[2], head[2]) || !ParseInt(tokens[3], head[3]) || head[0] < 1 ||
        head[0] > (1 << 24) || head[1] < 1 || head[1] > (1 << 24) || head[3] < 1 || head[3] > 3)
        lines.failAt(i, msg::FstatHeader);
    const std::int64_t np = head[0];
    const auto nl = static_cast<std::size_t>(head[1]);
    const auto nd = static_cast<std::size_t>(head[3]);
    ++i;
    std::vector<std::string> loci;
    for (; loci.size() < nl; ++i) {
        if (i >= lines.size())
            lines.fail(0, msg::FstatLocusNames(head[1]));
        lines.checkText(i, lines[i]);
        loci.emplace_back(Trim(lines[i]));
    }
    b.setLoci(std::move(loci));
    std::int64_t scale = 1;
    for (std::size_t d = 0; d < nd; ++d)
        scale *= 10;
    std::vector<std::int32_t> popOf(static_cast<std::size_t>(np) + 1, -1);
    char a[24], c[24];
    for (; i < lines.size(); ++i) {
        b.checkCancel(i);
        SplitSpaces(lines[i], tokens);
        if (tokens.empty())
            continue;
        std::int64_t pop = 0;
        if (!ParseInt(tokens[0], pop) || pop < 1 || pop > np)
            lines.failAt(i, msg::FstatPopulation(tokens[0], np));
        if (tokens.size() - 1 != nl)
            lines.failAt(i, msg::GenotypeCount(tokens.size() - 1, nl));
        auto& p = popOf[static_cast<std::size_t>(pop)];
        if (p < 0)
            p = b.population(std::to_string(pop));
        const std::size_t k = b.individual(std::to_string(b.data().individuals.size() + 1), p);
        for (std::size_t l = 0; l < nl; ++l) {
            const std::string_view g = tokens[l + 1];
            std::int64_t v = 0;
            if (!AllDigits(g) || !ParseInt(g, v))
                lines.failAt(i, msg::NotDigits(g));
            if (g.size() > 2 * nd && v >= scale * scale)
                lines.failAt(i, msg::GenotypeWidth(g, g.size(), 2 * nd));
            const std::int64_t x = v / scale, y = v % scale;
            std::snprintf(a, sizeof a, "%0*lld", static_cast<int>(nd), static_cast<long long>(x));
            std::snprintf(c, sizeof c, "%0*lld", static_cast<int>(nd), static_cast<long long>(y));
            b.set(k, l, a, c, false, i, [&](std::string_view s) { return s.find_first_not_of('0') == std::string_view::npos; });
        }
    }
    // Populations the header counts that no line names.
    for (std::int64_t pop = 1; pop <= np; ++pop)
        if (popOf[static_cast<std::size_t>(pop)] < 0)
            lines.fail(0, msg::EmptyPopulation(std::to_string(pop)));
    return b.finish();
}

bool TableMissing(std::string_view s, const std::string& extra)
{
    s = Trim(s);
    return s.empty() || s == "NA" || s == "-9" || s == "?" || s == "." || s == "-" ||
           (!extra.empty() && s == extra);
}

// Two headers of one locus's allele columns: equal, or equal but for a
// final separator and 1/2 or a/b ("l1.1", "l1.2"; "l1_a", "l1_b").
bool PairedHeaders(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    if (a.size() != b.size() || a.size() < 3 || a.substr(0, a.size() - 1) != b.substr(0, b.size() - 1))
        return false;
    const char sep = a[a.size() - 2];
    const char x = a.back(), y = b.back();
    return (sep == '.' || sep == '_' || sep == '-') &&
           ((x == '1' && y == '2') || (x == 'a' && y == 'b') || (x == 'A' && y == 'B'));
}

// The 0-based column of a 1-based option, checked against the row's fields.
std::size_t Column(const Lines& lines, std::size_t lineIndex, const char* what, int column, std::size_t fields)
{
    if (column < 1 || static_cast<std::size_t>(column) > fields)
        lines.failAt(lineIndex, msg::ColumnOutOfRange(what, column, fields));
    return static_cast<std::size_t>(column - 1);
}

// STRUCTURE: white-space separated rows, one or two per individual.
GenotypeData ReadStructure(const Lines& lines, const ReadOptions& options, const std::string& path)
{
    Builder b(lines, path, options.cancel);
    const ColumnLayout& layout = options.columns;
    std::vector<std::size_t> rows; // non-blank lines
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!Trim(lines[i]).empty())
            rows.push_back(i);
    if (rows.empty())
        lines.fail(0, msg::NoGenotypes);
    std::vector<std::string_view> tokens, first;
    SplitSpaces(lines[rows[0]], first);
    std::vector<std::string> markers;
    bool markerRow = layout.markerNames == 1;
    if (layout.markerNames < 0 && rows.size() > 1) {
        SplitSpaces(lines[rows[1]], tokens);
        markerRow = first.size() < tokens.size();
    }
    if (markerRow) {
        lines.checkText(rows[0], lines[rows[0]]);
        for (std::string_view m : first)
            markers.emplace_back(m);
        rows.erase(rows.begin());
        if (rows.empty())
            lines.fail(0, msg::NoGenotypes);
    }
    SplitSpaces(lines[rows[0]], tokens);
    const std::size_t fields = tokens.size();
    const int labelColumn = layout.labelColumn < 0 ? 1 : layout.labelColumn;
    const int popColumn = layout.populationColumn < 0 ? 2 : layout.populationColumn;
    if (popColumn < 1)
        lines.failAt(rows[0], msg::NoPopulationColumn);
    const std::size_t pc = Column(lines, rows[0], "the population", popColumn, fields);
    const std::size_t lc = labelColumn > 0 ? Column(lines, rows[0], "the label", labelColumn, fields) : 0;
    const int firstLocus = layout.firstLocusColumn > 0 ? layout.firstLocusColumn : std::max(labelColumn, popColumn) + 1;
    if (static_cast<std::size_t>(firstLocus) > fields)
        lines.failAt(rows[0], msg::NoLocusColumn);
    const std::size_t fc = static_cast<std::size_t>(firstLocus - 1);

    // Two rows per individual: asked for, or the labels come in runs of
    // exactly two rows of one population (labels naming the sites come in
    // longer runs). Labels that are the population names leave it open
    // when every site has two rows: the summary says what was chosen.
    int perIndividual = layout.rowsPerIndividual;
    if (perIndividual == 0) {
        perIndividual = 1;
        if (labelColumn > 0 && rows.size() % 2 == 0) {
            perIndividual = 2;
            bool labelsArePopulations = true;
            std::vector<std::string_view> t2, t3;
            for (std::size_t r = 0; r + 1 < rows.size() && perIndividual == 2; r += 2) {
                SplitSpaces(lines[rows[r]], tokens);
                SplitSpaces(lines[rows[r + 1]], t2);
                if (tokens.size() <= std::max(lc, pc) || t2.size() <= std::max(lc, pc) || tokens[lc] != t2[lc] ||
                    tokens[pc] != t2[pc]) {
                    perIndividual = 1;
                    break;
                }
                labelsArePopulations = labelsArePopulations && tokens[lc] == tokens[pc];
                if (r + 2 < rows.size()) {
                    SplitSpaces(lines[rows[r + 2]], t3);
                    if (t3.size() > lc && t3[lc] == tokens[lc])
                        perIndividual = 1; // a run longer than two
                }
            }
            if (perIndividual == 2 && labelsArePopulations && (fields - fc) % 2 == 0)
                b.data().notes.push_back(msg::TwoRowsChosen);
        }
    }
    if (perIndividual == 2 && rows.size() % 2)
        lines.failAt(rows.back(), msg::OddRowCount);
    const std::size_t columns = fields - fc;
    if (perIndividual == 1 && columns % 2)
        lines.failAt(rows[0], msg::OddAlleleColumns);
    const std::size_t nloc = perIndividual == 2 ? columns : columns / 2;
    std::vector<std::string> loci;
    for (std::size_t l = 0; l < nloc; ++l)
        loci.push_back(markers.size() == nloc ? markers[l] : "L" + std::to_string(l + 1));
    b.setLoci(std::move(loci));

    const std::string missing = options.missing.empty() ? "-9" : options.missing;
    const auto isMissing = [&](std::string_view s) { return s == missing || s == "-9"; };
    std::vector<std::string_view> second;
    for (std::size_t r = 0; r < rows.size(); r += static_cast<std::size_t>(perIndividual)) {
        b.checkCancel(r);
        SplitSpaces(lines[rows[r]], tokens);
        if (tokens.size() != fields)
            lines.failAt(rows[r], msg::FieldCount(tokens.size(), fields));
        if (perIndividual == 2) {
            SplitSpaces(lines[rows[r + 1]], second);
            if (second.size() != fields)
                lines.failAt(rows[r + 1], msg::FieldCount(second.size(), fields));
            if (second[pc] != tokens[pc] || (labelColumn > 0 && second[lc] != tokens[lc]))
                lines.failAt(rows[r + 1], msg::RowsNotPaired);
        }
        lines.checkText(rows[r], tokens[pc]);
        const std::int32_t pop = b.population(tokens[pc]);
        std::string name;
        if (labelColumn > 0) {
            lines.checkText(rows[r], tokens[lc]);
            name = std::string(tokens[lc]);
        } else {
            name = std::to_string(b.data().individuals.size() + 1);
        }
        const std::size_t k = b.individual(name, pop);
        for (std::size_t l = 0; l < nloc; ++l) {
            if (perIndividual == 2)
                b.set(k, l, tokens[fc + l], second[fc + l], false, rows[r], isMissing);
            else
                b.set(k, l, tokens[fc + 2 * l], tokens[fc + 2 * l + 1], false, rows[r], isMissing);
        }
    }
    return b.finish();
}

// Splits a table row at `delimiter` as spreadsheets and R's write.csv write
// it (RFC 4180): a field in double quotes may hold the delimiter, and two
// quotes in it stand for one. Fields are trimmed outside their quotes.
// Raises the table's fault when a quote is left open on the line.
void SplitRow(const Lines& lines, std::size_t index, char delimiter, std::vector<std::string>& out)
{
    const std::string_view line = lines[index];
    out.clear();
    std::size_t i = 0;
    for (;;) {
        std::size_t at = i;
        while (at < line.size() && line[at] != delimiter && IsSpace(line[at]))
            ++at;
        std::string field;
        if (at < line.size() && line[at] == '"') {
            for (++at;; ++at) {
                if (at >= line.size())
                    lines.failAt(index, msg::TableOpenQuote);
                if (line[at] == '"') {
                    if (at + 1 < line.size() && line[at + 1] == '"')
                        ++at;
                    else
                        break;
                }
                field += line[at];
            }
            i = std::min(line.find(delimiter, at + 1), line.size());
            field += Trim(line.substr(at + 1, i - at - 1));
        } else {
            i = std::min(line.find(delimiter, i), line.size());
            field = Trim(line.substr(at, i - at));
        }
        out.push_back(std::move(field));
        if (i >= line.size())
            return;
        ++i;
    }
}

// True when `c` occurs in `line` outside double quotes.
bool HasUnquoted(std::string_view line, char c)
{
    bool quoted = false;
    for (char x : line) {
        if (x == '"')
            quoted = !quoted;
        else if (x == c && !quoted)
            return true;
    }
    return false;
}

// An allele as genotype tables write them: a whole number (120, 0120) or
// bases (A, T, ACG, an indel's "-").
bool LooksLikeAllele(std::string_view s)
{
    return AllDigits(s) || (!s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
                                return std::strchr("ACGTNacgtn-*", c) != nullptr && c != '\0';
                            }));
}

// A plain table with a header row, comma- or tab-separated.
GenotypeData ReadTable(const Lines& lines, const ReadOptions& options, const std::string& path)
{
    Builder b(lines, path, options.cancel);
    const ColumnLayout& layout = options.columns;
    std::size_t h = 0;
    while (h < lines.size() && Trim(lines[h]).empty())
        ++h;
    if (h >= lines.size())
        lines.fail(0, msg::NoGenotypes);
    const char delimiter = HasUnquoted(lines[h], ',') ? ',' : '\t';
    std::vector<std::string> header, cells;
    SplitRow(lines, h, delimiter, header);
    const std::size_t fields = header.size();
    const int labelColumn = layout.labelColumn < 0 ? 1 : layout.labelColumn;
    int popColumn = layout.populationColumn;
    if (popColumn < 0) {
        popColumn = 2;
        for (std::size_t c = 0; c < fields; ++c)
            if (EqualsNoCase(header[c], "pop") || EqualsNoCase(header[c], "population")) {
                popColumn = static_cast<int>(c + 1);
                break;
            }
    }
    if (popColumn < 1)
        lines.failAt(h, msg::NoPopulationColumn);
    const std::size_t pc = Column(lines, h, "the population", popColumn, fields);
    const std::size_t lc = labelColumn > 0 ? Column(lines, h, "the label", labelColumn, fields) : 0;
    const int firstLocus = layout.firstLocusColumn > 0 ? layout.firstLocusColumn : std::max(labelColumn, popColumn) + 1;
    if (static_cast<std::size_t>(firstLocus) > fields)
        lines.failAt(h, msg::NoLocusColumn);
    const std::size_t fc = static_cast<std::size_t>(firstLocus - 1);

    // One "a/b" column per locus when any allele cell holds a slash or a bar;
    // otherwise two columns per locus when the headers pair up ("l1", "l1" or
    // "l1.1", "l1.2"), else one haploid column per locus.
    bool joined = false;
    for (std::size_t i = h + 1; i < lines.size() && !joined; ++i) {
        if (Trim(lines[i]).empty())
            continue;
        SplitRow(lines, i, delimiter, cells);
        for (std::size_t c = fc; c < cells.size(); ++c)
            if (cells[c].find_first_of("/|") != std::string::npos)
                joined = true;
    }
    const std::size_t columns = fields - fc;
    bool paired = !joined && columns % 2 == 0;
    for (std::size_t c = fc; paired && c < fields; c += 2)
        paired = PairedHeaders(header[c], header[c + 1]);
    bool repeated = false;
    for (std::size_t c = fc; c + 1 < fields; ++c)
        repeated = repeated || header[c] == header[c + 1];
    if (!joined && !paired && repeated)
        lines.failAt(h, msg::OddAlleleColumns);
    joined = !paired;
    const std::size_t nloc = joined ? columns : columns / 2;
    std::vector<std::string> loci;
    for (std::size_t l = 0; l < nloc; ++l) {
        std::string_view name = header[fc + (joined ? l : 2 * l)];
        lines.checkText(h, name);
        if (!joined && name != header[fc + 2 * l + 1])
            name.remove_suffix(2);
        loci.emplace_back(name);
    }
    b.setLoci(std::move(loci));

    const auto isMissing = [&](std::string_view s) { return TableMissing(s, options.missing); };
    // Whether some allele column holds alleles only (and one at least).
    std::vector<char> alleles(columns, 1), typed(columns, 0);
    for (std::size_t i = h + 1; i < lines.size(); ++i) {
        b.checkCancel(i);
        if (Trim(lines[i]).empty())
            continue;
        SplitRow(lines, i, delimiter, cells);
        if (cells.size() != fields)
            lines.failAt(i, msg::HeaderFieldCount(cells.size(), fields));
        lines.checkText(i, cells[pc]);
        const std::int32_t pop = b.population(cells[pc]);
        std::string name;
        if (labelColumn > 0) {
            lines.checkText(i, cells[lc]);
            name = cells[lc];
        } else {
            name = std::to_string(b.data().individuals.size() + 1);
        }
        const std::size_t k = b.individual(name, pop);
        for (std::size_t c = fc; c < fields; ++c) {
            const std::string_view cell = cells[c];
            if (isMissing(cell))
                continue;
            typed[c - fc] = 1;
            const std::size_t sep = cell.find_first_of("/|");
            if (!(sep == std::string_view::npos
                      ? LooksLikeAllele(cell)
                      : (isMissing(cell.substr(0, sep)) || LooksLikeAllele(Trim(cell.substr(0, sep)))) &&
                            (isMissing(cell.substr(sep + 1)) || LooksLikeAllele(Trim(cell.substr(sep + 1))))))
                alleles[c - fc] = 0;
        }
        for (std::size_t l = 0; l < nloc; ++l) {
            if (!joined) {
                b.set(k, l, cells[fc + 2 * l], cells[fc + 2 * l + 1], false, i, isMissing);
                continue;
            }
            const std::string_view cell = cells[fc + l];
            const std::size_t sep = cell.find_first_of("/|");
            if (sep == std::string_view::npos)
                b.set(k, l, cell, {}, true, i, isMissing); // haploid
            else if (cell.find_first_of("/|", sep + 1) != std::string_view::npos)
                lines.failAt(i, msg::BadAllele(cell));
            else
                b.set(k, l, Trim(cell.substr(0, sep)), Trim(cell.substr(sep + 1)), false, i, isMissing);
        }
    }
    // A table of other data (sampling dates, places, coordinates) would read
    // as genotypes of populations of one: refused unless the columns were
    // chosen.
    bool genotypes = false;
    for (std::size_t c = 0; c < columns; ++c)
        genotypes = genotypes || (alleles[c] && typed[c]);
    if (!genotypes && layout.firstLocusColumn <= 0 && !b.data().individuals.empty())
        lines.failAt(h, msg::NoGenotypeColumn(fc + 1));
    const GenotypeData& data = b.data();
    if (layout.populationColumn <= 0 && data.individuals.size() >= 2 &&
        data.populations.size() == data.individuals.size())
        lines.failAt(h, msg::PopulationOfOne(data.individuals.size(), pc + 1, header[pc]));
    return b.finish();
}

// The samples file of a VCF: "sample population" per line.
struct SampleAssignment {
    std::vector<std::string> populations; // in order of first appearance
    std::unordered_map<std::string, std::int32_t> population;
    std::vector<std::string> order; // samples in file order
};

SampleAssignment ReadSamples(const std::string& file, const JobFeedback* cancel)
{
    const std::unique_ptr<ByteSource> source = OpenFileSource(file);
    const std::string text = ReadAll(*source, cancel);
    const Lines lines(file, text);
    SampleAssignment s;
    std::unordered_map<std::string, std::int32_t> popIndex;
    std::vector<std::string_view> tokens;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i]);
        if (line.empty() || line[0] == '#')
            continue;
        lines.checkText(i, line);
        SplitSpaces(line, tokens);
        if (tokens.size() < 2)
            lines.failAt(i, msg::SamplesFileLine(line));
        // The population name is the rest of the line (it may hold blanks).
        const std::string sample(tokens[0]);
        const std::string pop(Trim(line.substr(static_cast<std::size_t>(tokens[1].data() - line.data()))));
        auto [it, fresh] = popIndex.emplace(pop, static_cast<std::int32_t>(s.populations.size()));
        if (fresh)
            s.populations.push_back(pop);
        if (!s.population.emplace(sample, it->second).second)
            lines.failAt(i, msg::SampleRepeated(sample));
        s.order.push_back(sample);
    }
    if (s.order.empty())
        lines.fail(0, msg::NoGenotypes);
    return s;
}

// VCF: the GT field of each variant; samples assigned by the samples file.
GenotypeData ReadVcf(const Lines& lines, const ReadOptions& options, const std::string& path)
{
    std::size_t i = 0;
    while (i < lines.size() && lines[i].rfind("##", 0) == 0)
        ++i;
    if (i >= lines.size() || lines[i].rfind("#CHROM", 0) != 0)
        lines.failAt(std::min(i, lines.size() ? lines.size() - 1 : 0), msg::VcfNoHeader);
    if (options.samplesFile.empty())
        lines.fail(0, msg::VcfNeedsSamples);
    const SampleAssignment assignment = ReadSamples(options.samplesFile, options.cancel);
    Builder b(lines, path, options.cancel);
    std::vector<std::string_view> header, fields, format, alts;
    SplitOn(lines[i], '\t', header);
    if (header.size() < 10)
        lines.failAt(i, msg::VcfNoSamples);
    const std::size_t samples = header.size() - 9;
    std::vector<std::int32_t> popOf(samples);
    std::vector<std::string> unassigned;
    std::unordered_map<std::string, char> inVcf;
    for (std::size_t s = 0; s < samples; ++s) {
        const std::string name(Trim(header[9 + s]));
        lines.checkText(i, name);
        inVcf.emplace(name, 1);
        const auto found = assignment.population.find(name);
        if (found == assignment.population.end())
            unassigned.push_back(name);
        else
            popOf[s] = found->second;
    }
    if (!unassigned.empty())
        throw Error(msg::SamplesUnassigned(path, unassigned));
    std::vector<std::string> absent;
    for (const std::string& name : assignment.order)
        if (!inVcf.count(name))
            absent.push_back(name);
    if (!absent.empty())
        throw Error(msg::SamplesNotInVcf(options.samplesFile, absent));
    for (const std::string& pop : assignment.populations)
        b.declarePopulation(pop);
    const std::size_t headerLine = i;

    // Variants, locus-major, turned individual-major at the end.
    std::vector<std::string> loci;
    std::vector<Copy> byLocus;
    std::vector<std::vector<std::string>> alleles;
    std::vector<std::int32_t> slot; // allele number in REF/ALT -> allele index of the locus
    for (++i; i < lines.size(); ++i) {
        b.checkCancel(i);
        if (Trim(lines[i]).empty())
            continue;
        SplitOn(lines[i], '\t', fields);
        if (fields.size() != header.size())
            lines.failAt(i, msg::HeaderFieldCount(fields.size(), header.size()));
        SplitOn(fields[8], ':', format);
        std::size_t gt = format.size();
        for (std::size_t f = 0; f < format.size(); ++f)
            if (format[f] == "GT")
                gt = f;
        if (gt == format.size())
            lines.failAt(i, msg::VcfNoGt);
        lines.checkText(i, fields[2]);
        lines.checkText(i, fields[3]);
        lines.checkText(i, fields[4]);
        loci.push_back(fields[2] != "." ? std::string(fields[2])
                                         : std::string(fields[0]) + ":" + std::string(fields[1]));
        std::vector<std::string_view> names{fields[3]};
        if (fields[4] != ".") {
            SplitOn(fields[4], ',', alts);
            names.insert(names.end(), alts.begin(), alts.end());
        }
        if (names.size() > kMaxAlleles)
            lines.failAt(i, msg::TooManyAlleles(loci.back()));
        slot.assign(names.size(), -1);
        alleles.emplace_back();
        auto& seen = alleles.back();
        const std::size_t base = byLocus.size();
        byLocus.resize(base + samples * 2, kMissing);
        for (std::size_t s = 0; s < samples; ++s) {
            std::string_view cell = fields[9 + s];
            for (std::size_t f = 0; f < gt; ++f) {
                const std::size_t colon = cell.find(':');
                cell = colon == std::string_view::npos ? std::string_view() : cell.substr(colon + 1);
            }
            cell = cell.substr(0, cell.find(':'));
            Copy copies[2] = {kMissing, kAbsent};
            std::size_t n = 0;
            bool missing = false;
            std::size_t at = 0;
            for (;;) {
                const std::size_t end = cell.find_first_of("/|", at);
                const std::string_view part = cell.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
                if (n == 2)
                    lines.failAt(i, msg::VcfBadGt(cell));
                if (part == ".") {
                    missing = true;
                } else {
                    std::int64_t v = -1;
                    if (!AllDigits(part) || !ParseInt(part, v))
                        lines.failAt(i, msg::VcfBadGt(cell));
                    if (v >= static_cast<std::int64_t>(names.size()))
                        lines.failAt(i, msg::VcfAlleleIndex(cell, names.size()));
                    auto& index = slot[static_cast<std::size_t>(v)];
                    if (index < 0) {
                        index = static_cast<std::int32_t>(seen.size());
                        seen.emplace_back(names[static_cast<std::size_t>(v)]);
                    }
                    copies[n] = static_cast<Copy>(index);
                }
                ++n;
                if (end == std::string_view::npos)
                    break;
                at = end + 1;
            }
            if (!missing) {
                byLocus[base + 2 * s] = copies[0];
                byLocus[base + 2 * s + 1] = copies[1];
            }
        }
    }
    if (loci.empty())
        lines.failAt(headerLine, msg::NoLoci);
    b.setLoci(std::move(loci));
    GenotypeData& data = b.data();
    data.alleles = std::move(alleles);
    const std::size_t nloc = data.loci.size();
    for (std::size_t s = 0; s < samples; ++s)
        b.individual(Trim(header[9 + s]), popOf[s]);
    for (std::size_t l = 0; l < nloc; ++l)
        for (std::size_t s = 0; s < samples; ++s) {
            Copy* g = b.genotype(s, l);
            g[0] = byLocus[(l * samples + s) * 2];
            g[1] = byLocus[(l * samples + s) * 2 + 1];
        }
    return b.finish();
}

} // namespace

const char* FormatName(GenotypeFormat format)
{
    switch (format) {
    case GenotypeFormat::Genepop: return "genepop";
    case GenotypeFormat::Fstat: return "fstat";
    case GenotypeFormat::Structure: return "structure";
    case GenotypeFormat::Table: return "table";
    case GenotypeFormat::Vcf: return "vcf";
    case GenotypeFormat::Detect: break;
    }
    return "detect";
}

std::optional<GenotypeFormat> FormatFromName(std::string_view name)
{
    for (GenotypeFormat f : {GenotypeFormat::Genepop, GenotypeFormat::Fstat, GenotypeFormat::Structure,
                             GenotypeFormat::Table, GenotypeFormat::Vcf})
        if (EqualsNoCase(name, FormatName(f)))
            return f;
    return std::nullopt;
}

GenotypeFormat DetectFormat(std::string_view text)
{
    if (text.size() >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0)
        text.remove_prefix(3);
    if (text.rfind("##fileformat=VCF", 0) == 0 || text.rfind("#CHROM", 0) == 0)
        return GenotypeFormat::Vcf;
    const std::vector<std::string_view> all = SplitLines(text);
    std::vector<std::string_view> lines;
    for (std::size_t k = 0; k < all.size() && lines.size() < 3; ++k)
        if (!Trim(all[k]).empty())
            lines.push_back(Trim(all[k]));
    if (lines.empty())
        return GenotypeFormat::Detect;
    std::vector<std::string_view> first, second;
    SplitSpaces(lines[0], first);
    if (first.size() == 4 && std::all_of(first.begin(), first.end(), AllDigits))
        return GenotypeFormat::Fstat;
    // GENEPOP: a line POP after the title.
    if (std::any_of(all.begin() + 1, all.end(), IsPopLine))
        return GenotypeFormat::Genepop;
    if (lines[0].find(',') != std::string_view::npos)
        return GenotypeFormat::Table;
    if (lines.size() < 2)
        return GenotypeFormat::Detect;
    SplitSpaces(lines[1], second);
    // STRUCTURE rows hold whole numbers after the label and population; a
    // table's header row is as long as its rows and names its columns.
    const bool header = first.size() == second.size() &&
                        std::any_of(first.begin() + std::min<std::size_t>(2, first.size()), first.end(),
                                    [](std::string_view f) { return !IsInteger(f); });
    if (header && lines[0].find('\t') != std::string_view::npos)
        return GenotypeFormat::Table;
    if (second.size() > 2 && std::all_of(second.begin() + 2, second.end(), IsInteger))
        return GenotypeFormat::Structure;
    return GenotypeFormat::Detect;
}

GenotypeData ParseGenotypes(const std::string& path, std::string_view text, const ReadOptions& options)
{
    const Lines lines(path, text);
    GenotypeFormat format = options.format;
    if (format == GenotypeFormat::Detect)
        format = DetectFormat(text);
    switch (format) {
    case GenotypeFormat::Genepop: return ReadGenepop(lines, options, path);
    case GenotypeFormat::Fstat: return ReadFstat(lines, options, path);
    case GenotypeFormat::Structure: return ReadStructure(lines, options, path);
    case GenotypeFormat::Table: return ReadTable(lines, options, path);
    case GenotypeFormat::Vcf: return ReadVcf(lines, options, path);
    case GenotypeFormat::Detect: break;
    }
    lines.fail(0, msg::UnknownGenotypeFormat);
}

GenotypeData ReadGenotypeFile(const std::string& path, const ReadOptions& options, const SourceOpener& opener)
{
    const std::unique_ptr<ByteSource> source = opener(path);
    const std::string bytes = ReadAll(*source, options.cancel);
    if (IsGzip(bytes))
        throw Error(msg::GenotypeFileFault(path, 0, msg::GenotypesCompressed));
    return ParseGenotypes(path, bytes, options);
}

} // namespace sundrel::genetics
