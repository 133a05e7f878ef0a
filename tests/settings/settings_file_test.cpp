#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
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
        std::string pattern = (fs::temp_directory_path() / "orvane_cfg_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(path_), fs::directory_iterator()));
    }

private:
    fs::path path_;
};

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> pattern_bytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

}  // namespace

TEST(settings_file, replaces_the_extension_of_the_file_name_only) {
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"/opt/orvane/orvane", "/opt/orvane/orvane.cfg"},
        {"/opt/orvane/orvane.exe", "/opt/orvane/orvane.cfg"},
        {"/opt/orv.ane/orvane", "/opt/orv.ane/orvane.cfg"},
        {"/opt/a.b.c", "/opt/a.b.cfg"},
        {"orvane", "orvane.cfg"},
    };
    for (const auto& c : cases) EXPECT_EQ(replace_file_extension(c.path, ".cfg"), c.expected);
}

TEST(settings_file, path_is_the_executable_with_cfg) {
    std::string path = settings_file_path();
    EXPECT_EQ(fs::path(path).filename(), "settings_file_test.cfg");
    EXPECT_EQ(fs::path(path).parent_path(), fs::canonical("/proc/self/exe").parent_path());
}

TEST(settings_file, missing_file_leaves_the_block_alone) {
    TempFolder folder;
    SettingsBlock block;
    block.put_int32(855, 3);
    EXPECT_EQ(read_settings_file(folder.file("none.cfg"), block), SettingsReadStatus::NoFile);
    EXPECT_EQ(block.int32(855), 3);
}

TEST(settings_file, short_exact_and_long_files_fill_only_what_they_hold) {
    TempFolder folder;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{902},
                             std::size_t{903}, std::size_t{5000}}) {
        auto bytes = pattern_bytes(size);
        std::string path = folder.file("s.cfg");
        write_bytes(path, bytes);
        SettingsBlock block;
        ASSERT_EQ(read_settings_file(path, block), SettingsReadStatus::Read) << size;
        auto b = block.bytes();
        for (std::size_t i = 0; i < b.size(); ++i) {
            std::uint8_t want = i < size ? bytes[i] : 0;
            ASSERT_EQ(b[i], want) << "size " << size << " byte " << i;
        }
    }
}

TEST(settings_file, a_folder_in_place_of_the_file_fails_to_read) {
    TempFolder folder;
    fs::create_directory(folder.file("dir.cfg"));
    SettingsBlock block;
    EXPECT_EQ(read_settings_file(folder.file("dir.cfg"), block), SettingsReadStatus::Failed);
}

TEST(settings_file, writes_exactly_the_block_and_reads_it_back) {
    TempFolder folder;
    std::string path = folder.file("w.cfg");
    SettingsBlock block;
    auto b = block.bytes();
    auto bytes = pattern_bytes(903);
    std::copy(bytes.begin(), bytes.end(), b.begin());
    ASSERT_TRUE(write_settings_file(path, block).ok);
    EXPECT_EQ(read_bytes(path), bytes);
    EXPECT_EQ(folder.entries(), 1u);  // no temporary file left beside it

    write_bytes(path, pattern_bytes(40));  // an older, shorter file is replaced whole
    ASSERT_TRUE(write_settings_file(path, block).ok);
    EXPECT_EQ(read_bytes(path), bytes);
}

TEST(settings_file, failed_write_leaves_the_previous_file) {
    TempFolder folder;
    std::string path = folder.file("keep.cfg");
    auto previous = pattern_bytes(903);
    write_bytes(path, previous);

    SettingsBlock block;
    block.put_int32(855, 2);
    // A file size limit below 903 bytes makes the write itself fail, even for root.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    SettingsWriteResult result = write_settings_file(path, block);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);

    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(read_bytes(path), previous);
    EXPECT_EQ(folder.entries(), 1u);
}

// The partial file's name passes the file system's limit of 255 bytes: a folder that
// takes no new file, even for root. The file there stays as it was.
TEST(settings_file, a_file_that_cannot_be_replaced_keeps_its_bytes) {
    TempFolder folder;
    const std::string path = folder.file(std::string(246, 's') + ".cfg");
    const auto previous = pattern_bytes(903);
    write_bytes(path, previous);
    SettingsBlock block;
    const SettingsWriteResult result = write_settings_file(path, block);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(read_bytes(path), previous);
    EXPECT_EQ(folder.entries(), 1u);
}

TEST(settings_file, a_linked_file_is_replaced_behind_the_link) {
    TempFolder folder;
    const std::string real = folder.file("kept/orvane.cfg");
    fs::create_directory(folder.file("kept"));
    write_bytes(real, pattern_bytes(10));
    fs::create_symlink(real, folder.file("orvane.cfg"));
    SettingsBlock block;
    ASSERT_TRUE(write_settings_file(folder.file("orvane.cfg"), block).ok);
    EXPECT_TRUE(fs::is_symlink(folder.file("orvane.cfg")));
    EXPECT_EQ(read_bytes(real), std::vector<std::uint8_t>(903, 0));
}

TEST(settings_file, write_into_a_missing_folder_fails) {
    TempFolder folder;
    SettingsBlock block;
    EXPECT_FALSE(write_settings_file(folder.file("no/such/s.cfg"), block).ok);
    EXPECT_FALSE(write_settings_file("", block).ok);
}
