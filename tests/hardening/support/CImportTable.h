#pragma once
#include <optional>
#include <string>
#include <vector>

// The running program's import table, by name: which library each imported
// function comes from.
class CImportTable {
public:
    struct CImport {
        std::string dll;  // lower case
        std::string function;
    };

    static std::vector<CImport> OfThisProgram();
    // Empty when the program does not import the function by name.
    static std::optional<std::string> DllOf(const std::string& function);
};
