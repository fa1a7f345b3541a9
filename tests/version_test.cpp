// TVersion over program files made here: with and without a version block,
// partial blocks, other translations; and over the built vantor-cli.
#include "platform/version.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// One string table as the build writes it.
std::string Table(const std::string& translation, const Pairs& pairs) {
    std::string t = translation + '\0';
    for (const auto& [k, v] : pairs) t += k + '\0' + v + '\0';
    return t + '\0';
}
std::string Block(const std::string& tables) {
    return std::string("VANTOR-VERSION-BLOCK") + '\0' + tables + '\0';
}
// A "program": the block between bytes that look like code and data.
std::string Program(const std::string& block) {
    return std::string("\x7f" "ELF\0\0junk", 10) + block + std::string(64, '\xcc');
}

const Pairs kFull = {{"ProductVersion", "2.3.4"}, {"FileVersion", "2.3.5"},
                     {"ProductName", "Outil"},    {"FileDescription", "Ce que fait l'outil"},
                     {"CompanyName", "Société"},  {"LegalCopyright", "© 2026"},
                     {"LegalTrademarks", "TM"}};

// productVersion, fileVersion, productName, description, company, copyright, trademarks
using Texts = std::vector<std::string>;

// The seven texts TVersion reads from a file holding `bytes` named `name`.
Texts Read(const std::string& bytes, const std::string& name = "prog.exe") {
    TempDir dir;
    WriteFile(dir / name, bytes);
    TVersion v(dir / name);
    return {v.productVersion, v.fileVersion, v.productName, v.description,
            v.company,        v.copyright,   v.trademarks};
}
void ExpectVersion(const Texts& expected, const std::string& bytes,
                   const std::string& name = "prog.exe") {
    EXPECT_EQ(expected, Read(bytes, name));
}

const Texts kNone = {"", "", "prog", "", "", "", ""};

TEST(Version, ReadsTheFrenchTableOfTheBlock) {
    ExpectVersion({"2.3.4", "2.3.5", "Outil", "Ce que fait l'outil", "Société", "© 2026", "TM"},
                  Program(Block(Table("040C04E4", kFull))));
    // The French table among others, wherever it is.
    ExpectVersion(Read(Program(Block(Table("040C04E4", kFull)))),
                  Program(Block(Table("040904E4", {{"ProductName", "Tool"}}) +
                                Table("040C04E4", kFull))));
}

TEST(Version, NoBlockGivesEmptyTextsAndTheBaseName) {
    ExpectVersion(kNone, Program(""));
    ExpectVersion(kNone, "");
    ExpectVersion({"", "", "a", "", "", "", ""}, "", "a.b.exe");  // cut before the first full stop
    ExpectVersion({"", "", "noext", "", "", "", ""}, "", "noext");
    TVersion missing("/nonexistent/dir/vantor");
    EXPECT_EQ("vantor", missing.productName);
    EXPECT_EQ("", missing.fileVersion);
}

TEST(Version, BaseNameAfterTheLastBackslashElseSlash) {
    EXPECT_EQ("prog", TVersion("C:\\Program Files\\x/y\\prog.exe").baseName);
    EXPECT_EQ("prog", TVersion("/usr/bin/prog").baseName);
    EXPECT_EQ("prog", TVersion("prog.exe").baseName);
}

TEST(Version, ProductVersionStandsForAMissingFileVersion) {
    ExpectVersion({"1.0", "1.0", "prog", "", "", "", ""},
                  Program(Block(Table("040C04E4", {{"ProductVersion", "1.0"}}))));
    // An empty file version is a file version.
    ExpectVersion({"1.0", "", "prog", "", "", "", ""},
                  Program(Block(Table("040C04E4", {{"ProductVersion", "1.0"}, {"FileVersion", ""}}))));
}

TEST(Version, AnotherTranslationIsNoBlock) {
    ExpectVersion(kNone, Program(Block(Table("040904E4", kFull))));
    ExpectVersion(kNone, Program(Block(Table("040C04B0", kFull))));
}

TEST(Version, DamagedBlocksAreIgnored) {
    const std::string whole = Block(Table("040C04E4", kFull));
    // Cut anywhere before its end: no block, and no read past the file.
    for (size_t cut : {size_t(5), size_t(21), size_t(40), whole.size() - 2})
        ExpectVersion(kNone, whole.substr(0, cut));
    // A stray marker before the real block does not hide it.
    ExpectVersion(Read(Program(whole)), std::string("VANTOR-VERSION-BLOCK") + Program(whole));
}

TEST(Version, TheBuiltProgramCarriesTheProjectVersion) {
    TVersion v(VANTOR_CLI_PATH);
    EXPECT_EQ("Vantor", v.productName);
    EXPECT_EQ(VANTOR_VERSION, v.productVersion);
    EXPECT_EQ(VANTOR_VERSION, v.fileVersion);
    EXPECT_EQ("Belvane", v.company);
    EXPECT_FALSE(v.description.empty());
    EXPECT_EQ("vantor-cli", v.baseName);
}

}  // namespace
