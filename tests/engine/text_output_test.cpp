#include "engine/points/text_output.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "orvane_text_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // The one file beside `name` whose name ends in ".partial"; empty when there is none.
    std::string partial_file() const {
        for (const auto& entry : fs::directory_iterator(path_))
            if (entry.path().extension() == ".partial") return entry.path().string();
        return {};
    }

private:
    fs::path path_;
};

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string numbered_line(int i) {
    char line[64];
    std::snprintf(line, sizeof line, "%10d %10.6f\n", i, i * 0.5);
    return line;
}

}  // namespace

TEST(text_output, held_first_line_reads_unfinished_until_the_close) {
    TempFolder folder;
    const std::string target = folder.file("r.dat");
    const std::string first = "Map: survey.dat  Radius:    100\n";
    TextOutput out;
    ASSERT_TRUE(out.open(target));
    ASSERT_TRUE(out.hold_first_line(first, "Unfinished: not closed"));
    // Enough rows for several large writes, so that the partial file holds some.
    std::string rows;
    for (int i = 0; i < 40000; ++i) {
        rows += numbered_line(i);
        ASSERT_TRUE(out.write(numbered_line(i)));
    }
    const std::string partial = folder.partial_file();
    ASSERT_FALSE(partial.empty());
    const std::string cut = read_text(partial);
    EXPECT_EQ(cut.substr(0, first.size()), "Unfinished: not closed         \n");
    EXPECT_EQ(cut.substr(first.size()), rows.substr(0, cut.size() - first.size()));
    EXPECT_FALSE(fs::exists(target));

    ASSERT_TRUE(out.close());
    EXPECT_EQ(read_text(target), first + rows);
    EXPECT_TRUE(folder.partial_file().empty());
}

TEST(text_output, a_stand_in_longer_than_the_line_is_cut_to_it) {
    TempFolder folder;
    TextOutput out;
    ASSERT_TRUE(out.open(folder.file("short.dat")));
    ASSERT_TRUE(out.hold_first_line("ab\n", "Unfinished"));
    ASSERT_TRUE(out.write("row\n"));
    EXPECT_EQ(read_text(folder.partial_file()), "");  // still gathered in memory
    ASSERT_TRUE(out.close());
    EXPECT_EQ(read_text(folder.file("short.dat")), "ab\nrow\n");
}

TEST(text_output, a_file_dropped_open_keeps_its_rows_under_its_name) {
    TempFolder folder;
    const std::string target = folder.file("dropped.dat");
    {
        TextOutput out;
        ASSERT_TRUE(out.open(target));
        ASSERT_TRUE(out.hold_first_line("Map: x\n", "Unfinished"));
        ASSERT_TRUE(out.write("row 1\n"));
    }
    EXPECT_EQ(read_text(target), "Map: x\nrow 1\n");
    EXPECT_TRUE(folder.partial_file().empty());
}

// A file size limit in the middle of a large write stands for a full disk: the file must
// end after the last whole line, never inside one, and the close must say it failed.
TEST(text_output, a_failed_write_leaves_only_whole_lines) {
    TempFolder folder;
    const std::string target = folder.file("full.dat");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = 600001;

    TextOutput out;
    ASSERT_TRUE(out.open(target));
    ASSERT_TRUE(out.hold_first_line("Map: header\n", "Unfinished"));
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    bool all_written = true;
    for (int i = 0; i < 40000 && all_written; ++i) all_written = out.write(numbered_line(i));
    EXPECT_FALSE(out.write("after the failure\n"));
    const bool closed = out.close();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);

    EXPECT_FALSE(all_written);
    EXPECT_FALSE(closed);
    const std::string kept = read_text(target);
    ASSERT_GT(kept.size(), 12u);
    EXPECT_LE(kept.size(), 600001u);
    EXPECT_EQ(kept.substr(0, 12), "Map: header\n");
    std::string expected = "Map: header\n";
    for (int i = 0; expected.size() < kept.size(); ++i) expected += numbered_line(i);
    EXPECT_EQ(kept, expected);  // a whole number of lines
}
