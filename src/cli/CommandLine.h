#pragma once
// Small helpers shared by the command-line commands: argument parsing, number
// formatting and the error type for usage mistakes.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sundrel::cli {

// A mistake in the command line itself (exit status 2, usage shown).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Walks the arguments of one command: options with values, flags and
// positional arguments, in the order given.
class Arguments {
public:
    Arguments(int argc, char** argv, int first);

    bool Done() const { return pos_ >= args_.size(); }
    // The next argument, consumed.
    std::string Next();
    // True (and consumed) when the next argument is `name`.
    bool Take(const std::string& name);
    // The value following an option just taken.
    std::string Value(const std::string& option);
    bool IsOption() const;
    // Consumes the next argument as the command's one operand: refused when
    // it is an unknown option or a second operand.
    void TakeOperand(std::string& operand);

private:
    std::vector<std::string> args_;
    std::size_t pos_ = 0;
};

std::int64_t ParseInteger(const std::string& text, const std::string& what, std::int64_t min,
                          std::int64_t max);
double ParseDouble(const std::string& text, const std::string& what);

// Refuses, before any work, an output whose name does not end in the
// extension of its kind (UsageError) or whose place cannot take it
// (FileError, as CheckOutputTarget).
void CheckOutput(const std::string& file, const char* kind, const char* extension);

// Shortest text that reads back to the same double.
std::string FormatDouble(double v);
std::string JsonString(const std::string& s);

int RunMap(Arguments& args);
int RunEdit(Arguments& args);
int RunInfo(Arguments& args);
int RunMatrices(Arguments& args);
int RunAnalyse(Arguments& args);
int RunReport(Arguments& args);
int RunBarriers(Arguments& args);
int RunExport(Arguments& args);
int RunDistances(Arguments& args);
int RunGis(Arguments& args);
int RunMerge(Arguments& args);

} // namespace sundrel::cli

namespace sundrel {
class MonmonierLayer;
}

namespace sundrel::cli {

// The result layers of an opened document, as text or as the end of a JSON
// object.
void PrintLayers(const MonmonierLayer& layers, bool json);

} // namespace sundrel::cli
