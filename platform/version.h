// The program's own version texts (product name, versions, maker...), read
// from the version block the build writes into the program file, so the
// about box and the installer show what was really built.
#pragma once
#include <string>
struct TVersion {
    explicit TVersion(const std::string& path);   // reads the program file's own version block
    std::string productVersion, fileVersion, productName, description, company, copyright,
                trademarks, baseName;
};
