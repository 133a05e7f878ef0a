#include "engine/points/staged_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "orvane_staged_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(path_))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    fs::path path_;
};

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool is_partial_name(const std::string& name, const std::string& target) {
    // "<target>.XXXXXX.partial"
    return name.size() == target.size() + 15 && name.rfind(target + ".", 0) == 0 &&
           name.substr(name.size() - 8) == ".partial";
}

// A name so long that the partial file's name would pass the file system's limit of 255
// bytes: a folder that takes no new file, even for root.
std::string long_name() { return std::string(245, 'n') + ".dat"; }

}  // namespace

TEST(staged_file, target_keeps_its_old_bytes_until_commit_then_has_the_new_ones) {
    TempFolder folder;
    const std::string target = folder.file("result.dat");
    write_text(target, "old complete file\n");

    StagedFile file;
    ASSERT_TRUE(file.open(target));
    EXPECT_FALSE(file.in_place());
    ASSERT_TRUE(file.write("new "));
    ASSERT_TRUE(file.write("bytes\n"));
    // What a kill at this moment leaves: the old file whole, and the partial one.
    EXPECT_EQ(read_text(target), "old complete file\n");
    std::vector<std::string> names = folder.names();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE(is_partial_name(names[1], "result.dat")) << names[1];
    EXPECT_EQ(read_text(folder.file(names[1])), "new bytes\n");

    ASSERT_TRUE(file.commit(Durability::Synced));
    EXPECT_EQ(read_text(target), "new bytes\n");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"result.dat"});
}

TEST(staged_file, writes_at_an_offset_and_cuts_back_without_a_hole) {
    TempFolder folder;
    const std::string target = folder.file("t.dat");
    StagedFile file;
    ASSERT_TRUE(file.open(target));
    ASSERT_TRUE(file.write("xxxx line one\nline two\n"));
    ASSERT_TRUE(file.write_at(0, "Map:"));
    ASSERT_TRUE(file.truncate(14));
    ASSERT_TRUE(file.write("line 2\n"));
    ASSERT_TRUE(file.commit(Durability::Renamed));
    EXPECT_EQ(read_text(target), "Map: line one\nline 2\n");
}

TEST(staged_file, discarding_or_dropping_leaves_the_target_and_no_partial_file) {
    TempFolder folder;
    const std::string target = folder.file("keep.dat");
    write_text(target, "keep me\n");
    {
        StagedFile file;
        ASSERT_TRUE(file.open(target));
        ASSERT_TRUE(file.write("half a fi"));
        file.discard();
        EXPECT_FALSE(file.is_open());
    }
    {
        StagedFile file;
        ASSERT_TRUE(file.open(target));
        ASSERT_TRUE(file.write("half a fi"));
    }
    EXPECT_EQ(read_text(target), "keep me\n");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"keep.dat"});
}

TEST(staged_file, a_linked_target_is_replaced_behind_the_link) {
    TempFolder folder;
    const std::string real = folder.file("real.dat");
    const std::string link = folder.file("link.dat");
    write_text(real, "old\n");
    fs::create_symlink(real, link);

    StagedFile file;
    ASSERT_TRUE(file.open(link));
    ASSERT_TRUE(file.write("new\n"));
    ASSERT_TRUE(file.commit(Durability::Renamed));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_text(real), "new\n");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"link.dat", "real.dat"}));
}

TEST(staged_file, the_replaced_file_keeps_its_mode) {
    TempFolder folder;
    const std::string target = folder.file("mode.dat");
    write_text(target, "old\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    StagedFile file;
    ASSERT_TRUE(file.open(target));
    ASSERT_TRUE(file.write("new\n"));
    ASSERT_TRUE(file.commit(Durability::Renamed));
    struct stat status{};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST(staged_file, a_device_is_written_in_place) {
    StagedFile file;
    ASSERT_TRUE(file.open("/dev/null"));
    EXPECT_TRUE(file.in_place());
    ASSERT_TRUE(file.write("gone\n"));
    EXPECT_TRUE(file.commit(Durability::Synced));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST(staged_file, refuses_what_cannot_be_staged_and_says_so_beforehand) {
    TempFolder folder;
    fs::create_directory(folder.file("folder.dat"));
    const std::string long_target = folder.file(long_name());
    write_text(long_target, "old\n");
    const std::string refused[] = {folder.file("folder.dat"), folder.file("no/such/r.dat"),
                                   long_target};
    for (const std::string& target : refused) {
        SCOPED_TRACE(target);
        StagedFile file;
        EXPECT_FALSE(file.open(target));
        EXPECT_FALSE(file.is_open());
    }
    EXPECT_FALSE(StagedFile::can_stage(folder.file("folder.dat")));
    EXPECT_FALSE(StagedFile::can_stage(folder.file("no/such/r.dat")));
    EXPECT_TRUE(StagedFile::can_stage(folder.file("new.dat")));
    EXPECT_TRUE(StagedFile::can_stage(long_target));  // exists, its folder takes files
    EXPECT_TRUE(StagedFile::can_stage("/dev/null"));
    EXPECT_EQ(read_text(long_target), "old\n");
    EXPECT_EQ(folder.names().size(), 2u);  // nothing made beside them
}

TEST(staged_file, a_failed_commit_leaves_the_target) {
    TempFolder folder;
    const std::string target = folder.file("busy.dat");
    StagedFile file;
    ASSERT_TRUE(file.open(target));
    ASSERT_TRUE(file.write("new\n"));
    // A folder that takes the target's name meanwhile: the rename cannot replace it.
    fs::create_directory(target);
    EXPECT_FALSE(file.commit(Durability::Renamed));
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"busy.dat"});
}
