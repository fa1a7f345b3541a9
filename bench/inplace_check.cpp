// Proves what rewriting in place guarantees after runs that raced or were
// killed: every source of the tree holds either its original bytes, or its
// rewritten text with the original in its ".bak".
//
//   inplace_check ORIG REF TREE [--complete]
//
// ORIG is the pristine tree, REF the same tree rewritten by one quiet run,
// TREE the tree under test. With --complete (after a run that was let to
// finish) every changed file must be rewritten and no ".new" may be left.
// Prints the counts; exit status 1 when a file breaks the guarantee.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

bool Read(const fs::path& p, std::string& out) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool IsSource(const fs::path& p) {
    const std::string e = p.extension().string();
    return e == ".c" || e == ".h";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: inplace_check ORIG REF TREE [--complete]\n");
        return 2;
    }
    const fs::path orig = argv[1], ref = argv[2], tree = argv[3];
    const bool complete = argc > 4 && std::string(argv[4]) == "--complete";
    long untouched = 0, rewritten = 0, bad = 0, leftovers = 0, files = 0;
    std::string o, r, cur, bak;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(orig)) {
        if (!e.is_regular_file() || !IsSource(e.path())) continue;
        ++files;
        const fs::path rel = fs::relative(e.path(), orig);
        const fs::path at = tree / rel;
        Read(e.path(), o);
        Read(ref / rel, r);
        const bool haveCur = Read(at, cur);
        const bool haveBak = Read(at.string() + ".bak", bak);
        if (fs::exists(fs::symlink_status(at.string() + ".new"))) ++leftovers;
        // A ".bak" equal to the source is the second name made just before the swap.
        const bool isOriginal = haveCur && cur == o && (!haveBak || bak == o);
        const bool isRewritten = haveCur && cur == r && r != o && haveBak && bak == o;
        if (isRewritten)
            ++rewritten;
        else if (isOriginal && !(complete && r != o))
            ++untouched;
        else {
            if (bad < 10)
                std::fprintf(stderr, "broken: %s (%s, %s)\n", at.c_str(), !haveCur ? "source missing"
                                                                          : cur == o   ? "original"
                                                                          : cur == r   ? "rewritten"
                                                                                       : "other text",
                             !haveBak ? "no .bak" : bak == o ? ".bak original" : ".bak other");
            ++bad;
        }
    }
    if (complete && leftovers > 0) bad += leftovers;
    std::printf("%ld files: %ld original, %ld rewritten with the original in .bak, %ld broken, %ld .new left\n",
                files, untouched, rewritten, bad, leftovers);
    return bad == 0 ? 0 : 1;
}
