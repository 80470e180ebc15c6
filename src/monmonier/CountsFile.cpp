#include "monmonier/CountsFile.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "model/MMapFactory.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace sundrel {

namespace {

constexpr const char* kMagic = "sundrel counts 1";
constexpr const char* kTraceMagic = "sundrel trace 1";

std::uint64_t Mix(std::uint64_t h)
{
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebull;
    h ^= h >> 31;
    return h;
}

std::uint64_t LoadLittle(const unsigned char* p)
{
    std::uint64_t w = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&w, p, sizeof w);
    } else {
        for (int b = 7; b >= 0; --b)
            w = (w << 8) | p[b];
    }
    return w;
}

void Block(std::uint64_t* lanes, const unsigned char* p)
{
    for (int l = 0; l < 4; ++l) {
        std::uint64_t h = (lanes[l] ^ LoadLittle(p + 8 * l)) * 0x9e3779b97f4a7c15ull;
        lanes[l] = h ^ (h >> 29);
    }
}

[[noreturn]] void Fault(const std::string& file, std::int64_t line, const std::string& reason)
{
    throw Error(file + ", line " + std::to_string(line) + ": " + reason);
}

// A count or number field: decimal digits only, at most 18.
bool ParseNumber(const std::string& text, std::int64_t& value)
{
    if (text.empty() || text.size() > 18 || (text.size() > 1 && text[0] == '0'))
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

bool Unescape(const std::string& text, std::string& out)
{
    out.clear();
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] != '\\') {
            out += text[k];
            continue;
        }
        if (++k == text.size())
            return false;
        if (text[k] == '\\')
            out += '\\';
        else if (text[k] == 'n')
            out += '\n';
        else if (text[k] == 'r')
            out += '\r';
        else
            return false;
    }
    return true;
}

bool ParseRange(const std::string& text, ReplicateRange& range)
{
    const std::size_t dash = text.find('-');
    return dash != std::string::npos && ParseNumber(text.substr(0, dash), range.from) &&
           ParseNumber(text.substr(dash + 1), range.to) && range.from >= 1 && range.from <= range.to;
}

// The ranges sorted, with ranges that touch joined.
std::vector<ReplicateRange> Joined(std::vector<ReplicateRange> ranges)
{
    std::sort(ranges.begin(), ranges.end(),
              [](const ReplicateRange& a, const ReplicateRange& b) { return a.from < b.from; });
    std::vector<ReplicateRange> joined;
    for (const ReplicateRange& r : ranges) {
        if (!joined.empty() && joined.back().to + 1 >= r.from)
            joined.back().to = std::max(joined.back().to, r.to);
        else
            joined.push_back(r);
    }
    return joined;
}

// Ranges of different files, checked for overlaps (naming both files).
struct OwnedRange {
    ReplicateRange range;
    const std::string* file;
};

void CheckOverlaps(std::vector<OwnedRange> ranges, const char* what)
{
    std::sort(ranges.begin(), ranges.end(),
              [](const OwnedRange& a, const OwnedRange& b) { return a.range.from < b.range.from; });
    for (std::size_t k = 1; k < ranges.size(); ++k) {
        const ReplicateRange& a = ranges[k - 1].range;
        const ReplicateRange& b = ranges[k].range;
        if (b.from <= a.to)
            throw Error(std::string("The ") + what + " " + *ranges[k - 1].file + " (replicates " +
                        FormatRanges({a}) + ") and " + *ranges[k].file + " (replicates " +
                        FormatRanges({b}) + ") overlap: replicates " +
                        FormatRanges({{b.from, std::min(a.to, b.to)}}) + " would count twice");
    }
}

void CheckMissing(const std::vector<ReplicateRange>& ranges, std::int64_t m, const char* what)
{
    const std::vector<ReplicateRange> missing = MissingRanges(ranges, m);
    if (!missing.empty())
        throw Error(std::string("The ") + what + " miss replicates " + FormatRanges(missing) +
                    " of 1-" + std::to_string(m) + " (--partial merges them all the same)");
}

} // namespace

void Digest::add(const void* bytes, std::size_t n)
{
    const auto* p = static_cast<const unsigned char*>(bytes);
    total_ += n;
    if (tailSize_ > 0) {
        const std::size_t take = std::min(sizeof tail_ - tailSize_, n);
        std::memcpy(tail_ + tailSize_, p, take);
        tailSize_ += take;
        p += take;
        n -= take;
        if (tailSize_ < sizeof tail_)
            return;
        Block(lanes_, tail_);
        tailSize_ = 0;
    }
    // The lanes in locals: stores through a char pointer could alias members.
    std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
    const auto step = [](std::uint64_t h, std::uint64_t w) {
        h = (h ^ w) * 0x9e3779b97f4a7c15ull;
        return h ^ (h >> 29);
    };
    for (; n >= sizeof tail_; p += sizeof tail_, n -= sizeof tail_) {
        a = step(a, LoadLittle(p));
        b = step(b, LoadLittle(p + 8));
        c = step(c, LoadLittle(p + 16));
        d = step(d, LoadLittle(p + 24));
    }
    lanes_[0] = a;
    lanes_[1] = b;
    lanes_[2] = c;
    lanes_[3] = d;
    std::memcpy(tail_, p, n);
    tailSize_ = n;
}

std::string Digest::text() const
{
    std::uint64_t lanes[4];
    std::memcpy(lanes, lanes_, sizeof lanes);
    if (tailSize_ > 0) {
        unsigned char last[32] = {};
        std::memcpy(last, tail_, tailSize_);
        Block(lanes, last);
    }
    std::uint64_t h = Mix(total_);
    for (std::uint64_t lane : lanes)
        h = Mix(h ^ lane);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string DigestOfFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw FileError(msg::ImpossibleToOpen, file, SystemReason(errno ? errno : ENOENT));
    Digest digest;
    std::vector<char> block(1 << 20);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        digest.add(block.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad())
        throw FileError(msg::FileReadingError, file, SystemReason(errno ? errno : EIO));
    return digest.text();
}

std::string DigestOfMap(const MMap& map, MMapFactory& factory)
{
    std::ostringstream body;
    factory.WriteMap(map, body);
    const std::string bytes = body.str();
    Digest digest;
    digest.add(bytes.data(), bytes.size());
    return digest.text();
}

std::string SelectionText(const std::array<bool, 10>& flags)
{
    std::string text;
    for (int r = 0; r < 10; ++r) {
        if (!flags[static_cast<std::size_t>(r)])
            continue;
        if (!text.empty())
            text += ',';
        text += r == 9 ? ">9" : std::to_string(r + 1);
    }
    return text.empty() ? std::string("none") : text;
}

ReplicateRange PieceRange(std::int64_t index, std::int64_t pieces, std::int64_t m)
{
    return {(index - 1) * m / pieces + 1, index * m / pieces};
}

std::int64_t CountsFile::counted() const
{
    std::int64_t n = 0;
    for (const ReplicateRange& r : ranges)
        n += r.size();
    return n;
}

bool CountsFile::complete() const
{
    return ranges.size() == 1 && ranges[0].from == 1 && ranges[0].to == header.replicates;
}

std::string FormatRanges(const std::vector<ReplicateRange>& ranges)
{
    std::string text;
    for (const ReplicateRange& r : ranges) {
        if (!text.empty())
            text += ',';
        text += std::to_string(r.from);
        text += '-';
        text += std::to_string(r.to);
    }
    return text;
}

std::string FormatCounts(const CountsFile& counts)
{
    const CountsHeader& h = counts.header;
    std::string text = std::string(kMagic) + "\n";
    text += "map " + h.mapDigest + "\n";
    text += "data " + h.dataDigest + "\n";
    text += "source " + h.source + "\n";
    text += "options " + h.options + "\n";
    text += "distance " + h.distance + "\n";
    text += "resampling " + h.resampling + "\n";
    text += "seed " + std::to_string(h.seed) + "\n";
    text += "replicates " + std::to_string(h.replicates) + "\n";
    text += "sundrels " + std::to_string(h.sundrels) + "\n";
    text += "selection " + h.selection + "\n";
    text += "populations " + std::to_string(h.populations) + "\n";
    text += "name " + Escape(h.name) + "\n";
    text += "range " + FormatRanges(counts.ranges) + "\n";
    for (const EdgeCount& e : counts.edges)
        text += "edge " + std::to_string(e.i + 1) + " " + std::to_string(e.j + 1) + " " +
                std::to_string(e.count) + "\n";
    text += "end " + std::to_string(counts.edges.size()) + "\n";
    return text;
}

CountsFile ParseCounts(const std::string& text, const std::string& file)
{
    CountsFile counts;
    CountsHeader& h = counts.header;
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start)); // no newline: cut short
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const bool cutShort = !text.empty() && text.back() != '\n';
    if (lines.empty() || lines[0] != kMagic) {
        if (!lines.empty() && lines[0].rfind("sundrel counts ", 0) == 0)
            throw Error(file + " is a counts file of another version (" + lines[0] +
                        "): this program reads \"" + kMagic + "\"");
        throw Error(file + " is not a counts file (its first line is not \"" + kMagic + "\")");
    }

    std::size_t at = 1;
    const auto field = [&](const char* key) -> std::string {
        if (at >= lines.size())
            throw Error(file + " ends before its " + key +
                        " line: the file is incomplete (a piece stopped while writing it?)");
        const std::string& line = lines[at];
        if (cutShort && at + 1 == lines.size())
            Fault(file, static_cast<std::int64_t>(at) + 1,
                  "the file ends inside this line: it is incomplete (a piece stopped while writing it?)");
        const std::string prefix = std::string(key) + " ";
        if (line.rfind(prefix, 0) != 0)
            Fault(file, static_cast<std::int64_t>(at) + 1,
                  std::string("the ") + key + " line was expected, not \"" + line + "\"");
        ++at;
        return line.substr(prefix.size());
    };
    const auto number = [&](const char* key, std::int64_t min, std::int64_t max) {
        const std::string value = field(key);
        std::int64_t n = 0;
        if (!ParseNumber(value, n) || n < min || n > max)
            Fault(file, static_cast<std::int64_t>(at),
                  std::string("the ") + key + " \"" + value + "\" is not a number from " +
                      std::to_string(min) + " to " + std::to_string(max));
        return n;
    };
    const auto digest = [&](const char* key) {
        const std::string value = field(key);
        if (value.size() != 16 ||
            value.find_first_not_of("0123456789abcdef") != std::string::npos)
            Fault(file, static_cast<std::int64_t>(at),
                  std::string("the ") + key + " digest \"" + value + "\" is not 16 hexadecimal digits");
        return value;
    };
    h.mapDigest = digest("map");
    h.dataDigest = digest("data");
    h.source = field("source");
    h.options = field("options");
    h.distance = field("distance");
    h.resampling = field("resampling");
    {
        const std::string value = field("seed");
        std::int64_t seed = 0;
        if (!ParseNumber(value, seed))
            Fault(file, static_cast<std::int64_t>(at), "the seed \"" + value + "\" is not a number");
        h.seed = static_cast<std::uint64_t>(seed);
    }
    h.replicates = number("replicates", 1, INT32_MAX);
    h.sundrels = static_cast<std::int32_t>(number("sundrels", 0, 999));
    h.selection = field("selection");
    h.populations = static_cast<std::int32_t>(number("populations", 2, 65536));
    if (!Unescape(field("name"), h.name))
        Fault(file, static_cast<std::int64_t>(at), "the name holds a bad escape");
    {
        const std::string value = field("range");
        std::stringstream in(value);
        std::string part;
        while (std::getline(in, part, ',')) {
            ReplicateRange r;
            if (!ParseRange(part, r) || r.to > h.replicates ||
                (!counts.ranges.empty() && r.from <= counts.ranges.back().to + 1))
                Fault(file, static_cast<std::int64_t>(at),
                      "the range \"" + value + "\" is not ascending ranges within 1-" +
                          std::to_string(h.replicates));
            counts.ranges.push_back(r);
        }
        if (counts.ranges.empty())
            Fault(file, static_cast<std::int64_t>(at), "the range is empty");
    }
    const std::int64_t counted = counts.counted();
    for (; at < lines.size(); ++at) {
        const std::string& line = lines[at];
        const auto line1 = static_cast<std::int64_t>(at) + 1;
        if (cutShort && at + 1 == lines.size())
            Fault(file, line1, "the file ends inside this line: it is incomplete (a piece stopped while writing it?)");
        if (line.rfind("end ", 0) == 0) {
            std::int64_t n = 0;
            if (cutShort || !ParseNumber(line.substr(4), n) ||
                n != static_cast<std::int64_t>(counts.edges.size()))
                Fault(file, line1,
                      "the end line \"" + line + "\" does not match the " +
                          std::to_string(counts.edges.size()) + " edge lines before it");
            if (at + 1 != lines.size())
                Fault(file, line1 + 1, "text follows the end line");
            return counts;
        }
        std::stringstream in(line);
        std::string key, a, b, c, extra;
        in >> key >> a >> b >> c;
        std::int64_t i = 0, j = 0, count = 0;
        if (key != "edge" || !ParseNumber(a, i) || !ParseNumber(b, j) || !ParseNumber(c, count) ||
            (in >> extra) || line != "edge " + a + " " + b + " " + c)
            Fault(file, line1, "\"" + line + "\" is not an edge line (edge I J COUNT)");
        if (i > h.populations || j < 1 || i <= j)
            Fault(file, line1,
                  "the edge " + a + " " + b + " is not a pair I > J of the " +
                      std::to_string(h.populations) + " populations");
        if (count < 1 || count > counted)
            Fault(file, line1,
                  "the count " + c + " is not from 1 to the " + std::to_string(counted) +
                      " replicates counted");
        const EdgeCount edge{static_cast<std::int32_t>(i - 1), static_cast<std::int32_t>(j - 1), count};
        if (!counts.edges.empty()) {
            const EdgeCount& last = counts.edges.back();
            if (std::pair(last.i, last.j) <= std::pair(edge.i, edge.j))
                Fault(file, line1, "the edge " + a + " " + b + " is out of order (edges go in descending order, once each)");
        }
        counts.edges.push_back(edge);
    }
    throw Error(file + " has no end line: the file is incomplete (a piece stopped while writing it?)");
}

CountsFile ReadCounts(const std::filesystem::path& file)
{
    return ParseCounts(ReadWholeFile(file), file.string());
}

std::vector<ReplicateRange> MissingRanges(const std::vector<ReplicateRange>& ranges, std::int64_t m)
{
    std::vector<ReplicateRange> missing;
    std::int64_t next = 1;
    for (const ReplicateRange& r : Joined(ranges)) {
        if (r.from > next)
            missing.push_back({next, r.from - 1});
        next = std::max(next, r.to + 1);
    }
    if (next <= m)
        missing.push_back({next, m});
    return missing;
}

CountsFile MergeCounts(const std::vector<CountsPart>& parts, bool partial)
{
    if (parts.empty())
        throw Error("Nothing to merge");
    const CountsPart& first = parts.front();
    const CountsHeader& a = first.counts.header;
    for (const CountsPart& part : parts) {
        const CountsHeader& b = part.counts.header;
        const auto check = [&](const char* name, const std::string& x, const std::string& y) {
            if (x != y)
                throw Error("The counts files " + first.file + " and " + part.file + " differ in " +
                            name + " (" + x + " and " + y +
                            "): they are not pieces of the same test");
        };
        check("map", a.mapDigest, b.mapDigest);
        check("data", a.dataDigest, b.dataDigest);
        check("source", a.source, b.source);
        check("options", a.options, b.options);
        check("distance", a.distance, b.distance);
        check("resampling", a.resampling, b.resampling);
        check("seed", std::to_string(a.seed), std::to_string(b.seed));
        check("replicates", std::to_string(a.replicates), std::to_string(b.replicates));
        check("sundrels", std::to_string(a.sundrels), std::to_string(b.sundrels));
        check("selection", a.selection, b.selection);
        check("populations", std::to_string(a.populations), std::to_string(b.populations));
        check("name", Escape(a.name), Escape(b.name));
    }
    std::vector<OwnedRange> owned;
    std::vector<ReplicateRange> all;
    for (const CountsPart& part : parts)
        for (const ReplicateRange& r : part.counts.ranges) {
            owned.push_back({r, &part.file});
            all.push_back(r);
        }
    CheckOverlaps(owned, "counts files");
    if (!partial)
        CheckMissing(all, a.replicates, "counts files");

    std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t,
             std::greater<std::pair<std::int32_t, std::int32_t>>>
        sums;
    for (const CountsPart& part : parts)
        for (const EdgeCount& e : part.counts.edges)
            sums[{e.i, e.j}] += e.count;
    CountsFile merged;
    merged.header = a;
    merged.ranges = Joined(all);
    for (const auto& [pair, count] : sums)
        merged.edges.push_back({pair.first, pair.second, count});
    return merged;
}

std::vector<SundrelElement> CountList(const CountsFile& counts)
{
    std::vector<SundrelElement> list;
    list.reserve(counts.edges.size());
    for (const EdgeCount& e : counts.edges)
        list.push_back({e.i, e.j, static_cast<double>(e.count)});
    return list;
}

std::string TraceFirstLine(const ReplicateRange& range, std::int64_t m, std::size_t headingLines)
{
    return std::string(kTraceMagic) + " range " + FormatRanges({range}) + " of " +
           std::to_string(m) + " heading " + std::to_string(headingLines);
}

std::string MergeTraces(const std::vector<TracePart>& parts, bool partial)
{
    struct Piece {
        const std::string* file;
        ReplicateRange range;
        std::int64_t m = 0;
        std::string heading;
        std::string body;
    };
    std::vector<Piece> pieces;
    for (const TracePart& part : parts) {
        Piece piece;
        piece.file = &part.file;
        const std::size_t eol = part.bytes.find("\r\n");
        std::stringstream in(eol == std::string::npos ? std::string() : part.bytes.substr(0, eol));
        std::string w1, w2, w3, w4, range, of, m, heading, lines;
        in >> w1 >> w2 >> w3 >> w4 >> range >> of >> m >> heading >> lines;
        std::int64_t headingLines = 0;
        if (w1 + " " + w2 + " " + w3 != kTraceMagic || w4 != "range" || of != "of" ||
            heading != "heading" || !ParseRange(range, piece.range) ||
            !ParseNumber(m, piece.m) || !ParseNumber(lines, headingLines) || piece.range.to > piece.m)
            throw Error(part.file + " is not the report of a piece (its first line is not \"" +
                        kTraceMagic + " range FROM-TO of M heading H\")");
        std::size_t at = eol + 2;
        for (std::int64_t k = 0; k < headingLines; ++k) {
            const std::size_t next = part.bytes.find("\r\n", at);
            if (next == std::string::npos)
                throw Error(part.file + " ends inside its heading: the file is incomplete");
            at = next + 2;
        }
        piece.heading = part.bytes.substr(eol + 2, at - eol - 2);
        piece.body = part.bytes.substr(at);
        if (!piece.body.empty() && piece.body.size() >= 2 &&
            piece.body.compare(piece.body.size() - 2, 2, "\r\n") != 0)
            throw Error(part.file + " ends inside a line: the file is incomplete");
        if (!pieces.empty() && (piece.m != pieces[0].m || piece.heading != pieces[0].heading))
            throw Error("The reports " + *pieces[0].file + " and " + part.file +
                        " have different headings: they are not pieces of the same test");
        pieces.push_back(std::move(piece));
    }
    if (pieces.empty())
        throw Error("Nothing to merge");
    std::vector<OwnedRange> owned;
    std::vector<ReplicateRange> all;
    for (const Piece& p : pieces) {
        owned.push_back({p.range, p.file});
        all.push_back(p.range);
    }
    CheckOverlaps(owned, "reports");
    if (!partial)
        CheckMissing(all, pieces[0].m, "reports");
    std::sort(pieces.begin(), pieces.end(),
              [](const Piece& a, const Piece& b) { return a.range.from < b.range.from; });
    std::string out = pieces[0].heading;
    for (const Piece& p : pieces)
        out += p.body;
    return out;
}

} // namespace sundrel
