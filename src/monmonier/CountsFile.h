#pragma once
// The per-edge counts of a significance test over a range of replicates, as
// a text file a person can read: what decides the result, the replicate
// ranges counted, one line per counted edge, and an end line. Pieces of one
// test run anywhere and their files add up, by MergeCounts, to the file of
// one run over every replicate, byte for byte.
//
//   sundrel counts 1
//   map 5c1f0e9a2b7d4e61            digest of the map body
//   data 0a9e44c1d2b3f587           digest of the matrix or genotype file(s)
//   source matrices                 or genotypes
//   options --size 40 --matrices 10 --gap 1 ...   the reading options
//   distance imported               or nei, edwards, ...
//   resampling none                 or loci, individuals
//   seed 0
//   replicates 10                   M
//   sundrels 3                      K
//   selection 1,2,3,4,5,6,7,8,9,>9  the ranks counted
//   populations 40                  N
//   name resampled                  the layer's name (\\ and \n escaped)
//   range 1-10                      replicates counted: FROM-TO[,FROM-TO]...
//   edge 12 3 7                     populations i > j (1-based) and the count
//   ...                             in descending (i, j) order
//   end 57                          the number of edge lines

#include "monmonier/SundrelTypes.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sundrel {

class MMap;
class MMapFactory;

struct ReplicateRange {
    std::int64_t from = 1; // 1-based, inclusive
    std::int64_t to = 0;
    std::int64_t size() const { return to - from + 1; }
    bool operator==(const ReplicateRange&) const = default;
};

// The fields that decide a result: parts whose fields differ cannot be added.
struct CountsHeader {
    std::string mapDigest;
    std::string dataDigest;
    std::string source;
    std::string options;
    std::string distance;
    std::string resampling;
    std::uint64_t seed = 0;
    std::int64_t replicates = 0;
    std::int32_t sundrels = 0;
    std::string selection;
    std::int32_t populations = 0;
    std::string name;
    bool operator==(const CountsHeader&) const = default;
};

struct EdgeCount {
    std::int32_t i = 0; // 0-based, i > j
    std::int32_t j = 0;
    std::int64_t count = 0;
    bool operator==(const EdgeCount&) const = default;
};

struct CountsFile {
    CountsHeader header;
    std::vector<ReplicateRange> ranges; // ascending, disjoint
    std::vector<EdgeCount> edges;       // descending (i, j)
    std::int64_t counted() const;       // replicates in the ranges
    bool complete() const;              // the ranges are exactly 1-M
};

// A 64-bit digest of bytes, and of a whole file read in blocks (raises the
// reading failure as FileError). Sixteen lower-case hexadecimal digits.
class Digest {
public:
    void add(const void* bytes, std::size_t n);
    std::string text() const;

private:
    std::uint64_t lanes_[4] = {0x243f6a8885a308d3ull, 0x13198a2e03707344ull, 0xa4093822299f31d0ull,
                               0x082efa98ec4e6c89ull};
    unsigned char tail_[32] = {};
    std::size_t tailSize_ = 0;
    std::uint64_t total_ = 0;
};
std::string DigestOfFile(const std::filesystem::path& file);
// The digest of the map body a document holds (the same for the map
// document and for the sundrel documents made from it).
std::string DigestOfMap(const MMap& map, MMapFactory& factory);

// "1,2,5,>9" for the ranks flagged.
std::string SelectionText(const std::array<bool, 10>& flags);

// The balanced range of piece `index` (1-based) of `pieces` over 1-M.
ReplicateRange PieceRange(std::int64_t index, std::int64_t pieces, std::int64_t m);

std::string FormatRanges(const std::vector<ReplicateRange>& ranges);
std::string FormatCounts(const CountsFile& counts);
// Reads a counts file; any fault (not a counts file, another version, a
// missing or bad field, counts above the replicates counted, edges out of
// order or outside N, a missing or wrong end line) raises Error naming the
// file and, where there is one, the line.
CountsFile ParseCounts(const std::string& text, const std::string& fileName);
// ReadCounts refuses what is not a regular file (a FIFO, a folder) unopened.
CountsFile ReadCounts(const std::filesystem::path& file);

struct CountsPart {
    std::string file;
    CountsFile counts;
};
// Adds the parts: refuses parts whose deciding fields differ (naming the
// field and both files), ranges that overlap (naming both files) and, unless
// `partial`, a union that is not 1-M (naming the replicates missing).
CountsFile MergeCounts(const std::vector<CountsPart>& parts, bool partial);
// The replicates of 1-M the ranges leave out.
std::vector<ReplicateRange> MissingRanges(const std::vector<ReplicateRange>& ranges, std::int64_t m);

// The counted edges as a count list ({i, j, count}, descending (i, j)).
std::vector<SundrelElement> CountList(const CountsFile& counts);

// The report of a piece: its first line says which replicates of 1-M it
// traces and how many lines of the layer's heading follow, then the heading
// and the trace of those replicates, as the report of one run has them
// (Windows-1252, CRLF).
std::string TraceFirstLine(const ReplicateRange& range, std::int64_t m, std::size_t headingLines);
struct TracePart {
    std::string file;
    std::string bytes;
};
// The report of one run from the traces of its pieces, in any order: the
// heading once, then the traces by replicate. Refuses files that are not
// traces, headings that differ, overlapping ranges, and gaps unless `partial`.
std::string MergeTraces(const std::vector<TracePart>& parts, bool partial);

} // namespace sundrel
