#pragma once
// Significance tests past one machine: a piece of a test over a range of
// replicates writing a counts file, the merge of such files, and the layers
// that other commands make from them (CountsCommands.cpp).

#include "cli/CommandLine.h"
#include "cli/GenotypeOptions.h"
#include "cli/MatrixOptions.h"

#include <array>
#include <string>
#include <vector>

namespace sundrel::cli {

struct ComputedDocument;

// What `analyse` hands over when it writes a counts file (--counts FILE).
struct PieceRequest {
    std::string document;
    std::string matrixFile;  // empty with --genotypes
    std::string genotypes;
    MatrixOptions matrices;
    GenotypeOptions genetics;
    std::int32_t sundrels = 1;
    std::array<bool, 10> selection{};
    std::string name;
    bool named = false;
    std::string countsFile;
    std::string reportFile;  // the trace of the piece's replicates
    std::string piece;       // --piece I/N as given, or empty
};

int RunPiece(PieceRequest request);
int RunMerge(Arguments& args);

// Adds the counts files given with --counts to an opened document as
// significance layers after its own, refusing a file made on another map.
void AddCountsLayers(ComputedDocument& document, const std::vector<std::string>& files);

} // namespace sundrel::cli
