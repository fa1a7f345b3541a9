// The lcov tracefile of the analysed records, and genhtml reading it.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>

#include "console/recording_sink.h"
#include "coverage/component.h"
#include "coverage/lcov.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::ReadFile;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

// A record as the reader leaves it: rows of index, first line, last line, weight.
void Add(const std::string& name, const std::string& version, std::vector<std::array<uint16_t, 4>> rows,
         std::vector<uint8_t> covered) {
    Component* c = FindOrAddComponent(name, version, "d");
    c->branchTotal = static_cast<int64_t>(rows.size());
    for (const auto& r : rows) c->rows.insert(c->rows.end(), r.begin(), r.end());
    c->covered = covered;
}

class Lcov : public ::testing::Test {
protected:
    void SetUp() override { ResetComponents(); }
    void TearDown() override { ResetComponents(); }
};

}  // namespace

TEST_F(Lcov, OneRecordPerFileVersion) {
    Add("src/m.c", "1.2", {{0, 3, 9, 1}, {1, 5, 6, 2}, {2, 5, 8, 3}, {3, 0, 0, 1}, {4, 12, 14, 1}},
        {1, 0, 1, 1, 0});
    Add("src/m.c", "1.1", {}, {});
    Add("odd\nname\r.c", "?", {{0, 1, 1, 1}}, {0});
    std::string text;
    AppendLcovTracefile(text);
    EXPECT_EQ(text,
              "TN:\nSF:src/m.c\n"
              "BRDA:3,0,0,1\nBRDA:5,0,1,0\nBRDA:5,0,2,1\nBRDA:12,0,4,0\nBRF:4\nBRH:2\n"
              "DA:3,1\nDA:5,1\nDA:12,0\nLF:3\nLH:2\nend_of_record\n"
              "TN:\nSF:src/m.c\nBRF:0\nBRH:0\nLF:0\nLH:0\nend_of_record\n"
              "TN:\nSF:odd?name?.c\nBRDA:1,0,0,0\nBRF:1\nBRH:0\nDA:1,0\nLF:1\nLH:0\nend_of_record\n");

    TempDir dir;
    ASSERT_TRUE(WriteLcovTracefile(dir / "t.info"));
    EXPECT_EQ(ReadFile(dir / "t.info"), text);
    EXPECT_FALSE(WriteLcovTracefile(dir / "no/such/t.info"));
}

TEST_F(Lcov, GenhtmlRendersTheTracefile) {
    if (std::system("genhtml --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "genhtml is not installed";
    TempDir dir;
    std::string source = dir / "src/m.c";
    std::string code;
    for (int i = 1; i <= 20; ++i) code += "int line" + std::to_string(i) + ";\n";
    WriteFile(source, code);
    Add(source, "1.2", {{0, 3, 9, 1}, {1, 5, 6, 2}, {2, 12, 14, 3}}, {1, 0, 1});
    ASSERT_TRUE(WriteLcovTracefile(dir / "t.info"));
    std::string cmd = "genhtml --branch-coverage -q -o '" + (dir / "html") + "' '" + (dir / "t.info") + "' >'" +
                      (dir / "log") + "' 2>&1";
    ASSERT_EQ(0, std::system(cmd.c_str())) << ReadFile(dir / "log");
    std::string index = ReadFile(dir / "html/index.html");
    EXPECT_NE(index.find("LCOV"), std::string::npos);
    bool page = false;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "html"))
        if (e.path().filename() == "m.c.gcov.html") {
            page = true;
            // Two of three lines hit, one of three branches not taken.
            std::string html = ReadFile(e.path().string());
            EXPECT_NE(html.find("66.7"), std::string::npos);
        }
    EXPECT_TRUE(page) << "no page for m.c";
}
