#include "monmonier/AnalysisSetup.h"

#include "monmonier/Messages.h"

#include <filesystem>

namespace sundrel {

std::string ProposedTitle(const std::string& file)
{
    const std::string name = std::filesystem::path(file).filename().string();
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(0, dot);
}

LoadedMatricesStatus MatricesStatus(std::int32_t matrices, std::int32_t size,
                                    std::int32_t expected)
{
    LoadedMatricesStatus status;
    const std::string n = std::to_string(size);
    status.text = "Status : " + std::to_string(matrices) +
                  (matrices == 1 ? " matrix loaded (size : " : " matrices loaded (size : ") + n +
                  " x " + n + ")";
    status.compatible = size == expected;
    if (!status.compatible) {
        status.text += '\n';
        status.text += msg::IncompatibleMatrixSize(expected);
    }
    return status;
}

std::string SundrelNumberCaption(std::int32_t k)
{
    if (k <= 10)
        return " Number of sundrels ";
    return " Number of sundrels : " + std::to_string(k) + " ";
}

} // namespace sundrel
