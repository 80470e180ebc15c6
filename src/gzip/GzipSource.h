#pragma once
// Genotype files compressed with gzip or bgzip (".vcf.gz"), read through
// zlib. Kept out of the core, which uses the standard library only; the
// programs that link it hand OpenSource to the genotype readers.

#include "genetics/ByteSource.h"

#include <filesystem>
#include <memory>

namespace sundrel::gzip {

// The file's bytes, decompressed when they start as gzip data do (every
// member of a multi-member file, as bgzip writes them). Damaged or cut
// compressed data raise Error with the file's path.
std::unique_ptr<genetics::ByteSource> OpenSource(const std::filesystem::path& path);

} // namespace sundrel::gzip
