// The buffered line reader against read_text_line, which reads the same file one
// character at a time: the same pieces in the same order, across the reader's chunk
// boundaries, before and after a rewind. And the reader's shortcut past the line filter
// (plain_number_line) against the filter itself.

#include "engine/points/text_line_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "engine/points/point_reader.h"
#include "engine/points/text_lines.h"

namespace {

// A fixed-seed stream of small numbers.
struct Stream {
    std::uint64_t state;
    unsigned below(unsigned n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>((state >> 33) % n);
    }
};

std::string write_file(const std::string& name, const std::string& bytes) {
    const std::string path = testing::TempDir() + "text_line_reader_" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::vector<std::string> pieces_by_characters(const std::string& path) {
    TextFile file = open_text_file(path);
    std::vector<std::string> pieces;
    std::string line;
    while (read_text_line(file.get(), line)) pieces.push_back(line);
    return pieces;
}

std::vector<std::string> pieces_by_reader(TextLineReader& reader) {
    std::vector<std::string> pieces;
    std::string_view line;
    while (reader.next(line)) pieces.emplace_back(line);
    return pieces;
}

// Lines of every kind: numbers, words, empty lines, lines longer than MAX_LINE_CHARS,
// NUL bytes, and each line end (LF, CR LF, lone CR, none at the very end), some of them
// right at the 253rd character.
std::string mixed_text(Stream& random, std::size_t bytes, bool byte_order_mark) {
    std::string text = byte_order_mark ? "\xEF\xBB\xBF" : "";
    const char* ends[] = {"\n", "\r\n", "\r", "\n\r", ""};
    const char alphabet[] = "0123456789 .-+eE,\tLine\"/abc";
    while (text.size() < bytes) {
        std::size_t length = random.below(8) == 0 ? 240 + random.below(30) : random.below(60);
        if (random.below(10) == 0) length = MAX_LINE_CHARS - 1 + random.below(3);
        std::string line;
        for (std::size_t i = 0; i < length; ++i)
            line += random.below(500) == 0 ? '\0' : alphabet[random.below(sizeof alphabet - 1)];
        text += line;
        text += ends[random.below(4)];
    }
    return text;
}

}  // namespace

TEST(text_line_reader, gives_the_pieces_of_read_text_line) {
    Stream random{11};
    struct Case {
        const char* name;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"empty", ""},
        {"bom_only", "\xEF\xBB\xBF"},
        {"bom_numbers", "\xEF\xBB\xBF" "1 2 3 4 5\r\n6 7 8 9 10"},
        {"lone_cr", "1 2 3 4 5\r6 7 8 9 10\r\r\n"},
        {"cr_lf_after_limit", std::string(MAX_LINE_CHARS - 1, '7') + "\r\n1 2\n"},
        {"cr_at_limit", std::string(MAX_LINE_CHARS - 1, '7') + "\r" + "\n" + "x\n"},
        {"lf_past_limit", std::string(MAX_LINE_CHARS, '7') + "\n\n"},
        {"nul", std::string("12\0 34\n5 6\n", 11)},
        {"small", mixed_text(random, 20000, true)},
        {"chunks", mixed_text(random, 2'600'000, false)},  // crosses the reader's 256 KiB chunks
    };
    for (const Case& c : cases) {
        const std::string path = write_file(c.name, c.text);
        const std::vector<std::string> want = pieces_by_characters(path);
        TextFile file = open_text_file(path);
        TextLineReader reader(file.get());
        EXPECT_TRUE(pieces_by_reader(reader) == want) << c.name;
        EXPECT_FALSE(reader.failed());
        reader.rewind();
        EXPECT_TRUE(pieces_by_reader(reader) == want) << c.name << " after rewind";
    }
}

// The buffer of a small file is sized when the reader is made; lines written after that
// must still come, whole and in order, as they do from a reader made afterwards.
TEST(text_line_reader, reads_what_a_small_file_grew_by) {
    Stream random{5};
    const std::string first = "1 2 3 4 5\n6 7 8";
    const std::string later = " 9 10\n" + mixed_text(random, 300'000, false);
    const std::string path = write_file("grows", first);
    TextFile file = open_text_file(path);
    TextLineReader reader(file.get());
    std::ofstream(path, std::ios::binary | std::ios::app) << later;
    const std::vector<std::string> want = pieces_by_characters(path);
    EXPECT_TRUE(pieces_by_reader(reader) == want);
    EXPECT_FALSE(reader.failed());
}

TEST(text_line_reader, a_folder_reads_as_failed) {
    TextFile file = open_text_file(testing::TempDir());
    ASSERT_TRUE(file);
    TextLineReader reader(file.get());
    std::string_view line;
    EXPECT_FALSE(reader.next(line));
    EXPECT_TRUE(reader.failed());
}

TEST(text_line_reader, plain_number_lines_pass_the_filter_unchanged) {
    Stream random{3};
    const char alphabet[] = "0123456789 .,-+\r\neE\t/:\"L\b";
    int plain = 0;
    for (int n = 0; n < 200000; ++n) {
        std::string line;
        const unsigned length = random.below(12);
        // Mostly characters of number lines, so that many lines are plain.
        for (unsigned i = 0; i < length; ++i)
            line += alphabet[random.below(random.below(4) == 0 ? sizeof alphabet - 1 : 15)];
        for (char separator : {'.', ','}) {
            if (!plain_number_line(line, separator)) continue;
            ++plain;
            std::string filtered = line;
            ASSERT_TRUE(accept_line(filtered, separator)) << '"' << line << '"';
            ASSERT_EQ(filtered, line);
        }
    }
    EXPECT_GT(plain, 10000);
    EXPECT_FALSE(plain_number_line("", '.'));
    EXPECT_FALSE(plain_number_line("\r\n", '.'));
    EXPECT_FALSE(plain_number_line("1 2 3,5", '.'));  // the filter makes the comma a blank
    EXPECT_FALSE(plain_number_line("1 2 3e5", '.'));  // the filter upper-cases the e
    EXPECT_TRUE(plain_number_line("1 2 3,5\n", ','));
}
