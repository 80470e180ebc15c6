#include "genetics/Genotypes.h"

#include "common/Errors.h"
#include "genetics/ByteSource.h"
#include "genetics/Messages.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace sundrel::genetics {

GenotypeSummary Summarise(const GenotypeData& data)
{
    GenotypeSummary s;
    const std::size_t nloc = data.locusCount();
    std::vector<std::int64_t> missing(data.populationCount(), 0);
    s.populations.resize(data.populationCount());
    for (std::size_t p = 0; p < data.populationCount(); ++p)
        s.populations[p].name = data.populations[p];
    for (std::size_t i = 0; i < data.individualCount(); ++i) {
        const auto p = static_cast<std::size_t>(data.population[i]);
        ++s.populations[p].individuals;
        for (std::size_t l = 0; l < nloc; ++l) {
            const Copy* g = data.genotype(i, l);
            if (g[0] == kMissing)
                ++missing[p];
            else {
                const int ploidy = g[1] == kAbsent ? 1 : 2;
                s.maxPloidy = std::max(s.maxPloidy, ploidy);
                s.minPloidy = s.minPloidy ? std::min(s.minPloidy, ploidy) : ploidy;
            }
        }
    }
    for (std::size_t p = 0; p < data.populationCount(); ++p) {
        const std::int64_t genotypes = s.populations[p].individuals * static_cast<std::int64_t>(nloc);
        s.populations[p].missingPercent = genotypes ? 100.0 * static_cast<double>(missing[p]) / static_cast<double>(genotypes) : 0.0;
    }
    for (std::size_t l = 0; l < nloc; ++l)
        s.alleles.emplace_back(data.loci[l], static_cast<std::int64_t>(data.alleles[l].size()));
    s.individuals = static_cast<std::int64_t>(data.individualCount());
    s.notes = data.notes;
    return s;
}

std::vector<std::string> SummaryLines(const GenotypeSummary& s)
{
    std::vector<std::string> lines;
    char buffer[64];
    lines.push_back(std::to_string(s.populations.size()) + " populations, " + std::to_string(s.individuals) +
                    " individuals, " + std::to_string(s.alleles.size()) + " loci" +
                    (s.minPloidy == 1 && s.maxPloidy == 2 ? " (haploid and diploid)"
                     : s.maxPloidy == 1                   ? " (haploid)"
                     : s.maxPloidy == 2                   ? " (diploid)"
                                                          : ""));
    lines.insert(lines.end(), s.notes.begin(), s.notes.end());
    lines.push_back("population: individuals, missing genotypes");
    for (std::size_t p = 0; p < s.populations.size(); ++p) {
        std::snprintf(buffer, sizeof buffer, "%0.1f%%", s.populations[p].missingPercent);
        lines.push_back("  " + std::to_string(p + 1) + " " + s.populations[p].name + ": " +
                        std::to_string(s.populations[p].individuals) + ", " + buffer);
    }
    std::string alleles = "alleles per locus:";
    for (std::size_t l = 0; l < s.alleles.size(); ++l) {
        if (l == 20 && s.alleles.size() > 25) {
            alleles += " ... (" + std::to_string(s.alleles.size() - 20) + " more)";
            break;
        }
        alleles += (l ? ", " : " ") + s.alleles[l].first + " " + std::to_string(s.alleles[l].second);
    }
    lines.push_back(alleles);
    return lines;
}

void ReorderPopulations(GenotypeData& data, const std::vector<std::string>& names, const std::string& namesFile)
{
    std::unordered_map<std::string, std::int32_t> index;
    for (std::size_t p = 0; p < data.populations.size(); ++p)
        index.emplace(data.populations[p], static_cast<std::int32_t>(p));
    std::vector<std::int32_t> newIndex(data.populations.size(), -1);
    std::vector<std::string> unknown, repeated, missing;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const auto found = index.find(names[k]);
        if (found == index.end())
            unknown.push_back(names[k]);
        else if (newIndex[static_cast<std::size_t>(found->second)] >= 0)
            repeated.push_back(names[k]);
        else
            newIndex[static_cast<std::size_t>(found->second)] = static_cast<std::int32_t>(k);
    }
    for (std::size_t p = 0; p < data.populations.size(); ++p)
        if (newIndex[p] < 0)
            missing.push_back(data.populations[p]);
    if (!unknown.empty() || !repeated.empty() || !missing.empty())
        throw Error(msg::PopulationsFileFaults(namesFile, unknown, repeated, missing));

    // Populations renumbered; individuals regrouped in the new order, keeping
    // their order within each population.
    std::vector<std::size_t> order(data.individualCount());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return newIndex[static_cast<std::size_t>(data.population[a])] <
               newIndex[static_cast<std::size_t>(data.population[b])];
    });
    const std::size_t width = data.locusCount() * 2;
    std::vector<Copy> copies(data.copies.size());
    std::vector<std::string> individuals(order.size());
    std::vector<std::int32_t> population(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        std::copy_n(data.copies.begin() + static_cast<std::ptrdiff_t>(order[k] * width), width,
                    copies.begin() + static_cast<std::ptrdiff_t>(k * width));
        individuals[k] = std::move(data.individuals[order[k]]);
        population[k] = newIndex[static_cast<std::size_t>(data.population[order[k]])];
    }
    data.copies = std::move(copies);
    data.individuals = std::move(individuals);
    data.population = std::move(population);
    data.populations = names;
}

std::vector<std::string> ReadPopulationNames(const std::string& path)
{
    const std::unique_ptr<ByteSource> source = OpenFileSource(path);
    const std::string text = ReadAll(*source);
    std::vector<std::string> names;
    std::string_view body = text;
    if (body.rfind("\xEF\xBB\xBF", 0) == 0)
        body.remove_prefix(3);
    for (const std::string_view line : SplitLines(body)) {
        const auto first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos)
            names.emplace_back(line.substr(first, line.find_last_not_of(" \t") - first + 1));
    }
    return names;
}

void CheckPopulationCount(const GenotypeData& data, std::int64_t sites)
{
    const auto populations = static_cast<std::int64_t>(data.populationCount());
    if (populations != sites)
        throw Error(msg::PopulationCountMismatch(populations, sites));
}

} // namespace sundrel::genetics
