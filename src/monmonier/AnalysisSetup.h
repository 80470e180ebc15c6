#pragma once
// The rules of setting up an analysis, shared by the set-up window and the
// command line: the title proposed for a matrix file, the status of the
// loaded matrices against the map, and the caption of the number of
// sundrels.

#include <cstdint>
#include <string>

namespace sundrel {

// The file name without its folder, cut before its last "." (empty when the
// name has none).
std::string ProposedTitle(const std::string& file);

struct LoadedMatricesStatus {
    std::string text;        // "Status : 1 matrix loaded (size : 40 x 40)" ...
    bool compatible = false; // the matrices' size is the map's
};

// M matrices of `size` populations against a map of `expected` populations;
// an incompatible size adds the error line.
LoadedMatricesStatus MatricesStatus(std::int32_t matrices, std::int32_t size,
                                    std::int32_t expected);

// " Number of sundrels " for K in 1..10 (a radio item shows K), and
// " Number of sundrels : K " above.
std::string SundrelNumberCaption(std::int32_t k);

// The largest number of sundrels an analysis traces per matrix.
inline constexpr std::int32_t kMaxSundrelNumber = 999;

} // namespace sundrel
