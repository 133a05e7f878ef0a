#include "engine/points/point_reader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/address_space.h"
#include "tests/support/fake_monitor.h"

namespace {

std::string temp_path(const std::string& name) {
    return testing::TempDir() + "point_reader_" + name;
}

std::string write_file(const std::string& name, const std::string& bytes) {
    const std::string path = temp_path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

RunSettings settings_for(const std::string& input, char separator = '.') {
    RunSettings s;
    s.input_file = input;
    s.decimal_separator = separator;
    return s;
}

// The same count and the same records, byte for byte.
bool same_points(const PointData& a, const PointData& b) {
    return a.count == b.count &&
           std::memcmp(a.survey.data(), b.survey.data(), b.count * sizeof(SurveyPoint)) == 0 &&
           std::memcmp(a.work.data(), b.work.data(), b.count * sizeof(WorkPoint)) == 0;
}

// The file read without any limit: what every limited reading of it must give.
PointData unlimited_reading(const RunSettings& s) {
    PointData points;
    FakeMonitor monitor;
    EXPECT_EQ(read_points(s, points, monitor), 0);
    return points;
}

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
}

}  // namespace

TEST(point_reader, line_filter_cases) {
    struct Case {
        const char* line;
        char separator;
        bool accepted;
    };
    const Case cases[] = {
        {"1 2 3 4 5\n", '.', true},
        {"", '.', false},
        {"/ 1 2 3 4 5\n", '.', false},
        {"\n", '.', false},
        {"\r\n", '.', false},
        {"\t1 2 3 4 5\n", '.', true},  // the tab becomes a blank before the control test
        {"X Y POINT HEIGHT CBA\n", '.', false},
        {"Line 100\n", '.', false},
        {"line 100\n", '.', false},
        {"LiNe 100\n", '.', false},
        {"1 2 3 4 5 \"x\"\n", '.', false},
        {"Tie 3\n", '.', false},
        {"1.5e3 -2 +3 4:30 5\n", '.', true},
        {"1,5 2 3 4 5\n", ',', true},
        {"1.5 2 3 4 5\n", ',', false},
        {"1 2 3 4 5;\n", '.', false},
        {"1 2 3 4 \xe9\n", '.', false},
        {"1 2 3 4 5\r junk\n", '.', true},  // a carriage return ends the test
        {"1 2 3 4 5x", '.', true},          // the last character is never examined
        {"1 2 3 4 x5", '.', false},
    };
    for (const Case& c : cases) {
        std::string line = c.line;
        EXPECT_EQ(accept_line(line, c.separator), c.accepted) << '"' << c.line << '"';
    }
    std::string line = "1,5\t2\b3 4e1 5\n";
    ASSERT_TRUE(accept_line(line, '.'));
    EXPECT_EQ(line, "1 5 2 3 4E1 5\n");
}

TEST(point_reader, column_parser_needs_five_tokens_and_the_chosen_columns) {
    RunSettings s;
    ColumnValues v;
    EXPECT_TRUE(parse_columns("  10 20  3 40 5.5E1\r\n", s, v));
    EXPECT_EQ(v.x, 10);
    EXPECT_EQ(v.y, 20);
    EXPECT_EQ(v.point_number, 3);
    EXPECT_EQ(v.height, 40);
    EXPECT_EQ(v.cba, 55);
    EXPECT_FALSE(parse_columns("1 2 3 4\n", s, v));
    EXPECT_FALSE(parse_columns("1 2 3 4\r5 6\n", s, v));
    EXPECT_FALSE(parse_columns("1 2 3 4 5:00\n", s, v));  // ':' passes the filter only
    s.column_cba = 7;  // "H"
    EXPECT_FALSE(parse_columns("1 2 3 4 5 6\n", s, v));
    EXPECT_TRUE(parse_columns("1 2 3 4 5 6 7 8\n", s, v));
    EXPECT_EQ(v.cba, 8);
    s.column_cba = -1;
    EXPECT_FALSE(parse_columns("1 2 3 4 5 6 7 8\n", s, v));
}

TEST(point_reader, reads_a_messy_file) {
    const std::string long_line =
        padded("104 204 5 304 16.5", MAX_LINE_CHARS) + padded("105 205 6 305 17.5", 47) + "\n";
    ASSERT_EQ(long_line.size(), 301u);
    const std::string text =
        "X Y POINT HEIGHT CBA\n"
        "/ survey of the quarry\n"
        "Line 100\n"
        "line 100\n"
        "LiNe 200 1 2 3 4 5\n"
        "Tie 3\n"
        "100.5\t200.5\t1\t300\t12.5\n"
        "101 201 2 301 13.5\r\n"
        "1 2 3 4\n"
        "\"quoted\" 1 2 3 4 5\n" +
        long_line +
        "   102   202  3  302  1.5e1\n"
        "\n"
        "103 203 4 303 -2.5";
    RunSettings s = settings_for(write_file("messy.dat", text));
    PointData points;
    FakeMonitor monitor;
    ASSERT_EQ(read_points(s, points, monitor), 0);
    EXPECT_TRUE(monitor.messages.empty());
    ASSERT_EQ(points.count, 6u);
    ASSERT_EQ(points.survey.size(), 7u);
    ASSERT_EQ(points.work.size(), 7u);
    const double expected[6][5] = {
        {100.5, 200.5, 1, 300, 12.5}, {101, 201, 2, 301, 13.5}, {104, 204, 5, 304, 16.5},
        {105, 205, 6, 305, 17.5},     {102, 202, 3, 302, 15},   {103, 203, 4, 303, -2.5},
    };
    for (std::size_t p = 0; p < 6; ++p) {
        const SurveyPoint& sp = points.survey[p];
        EXPECT_EQ(sp.point_number, expected[p][2]) << p;
        EXPECT_EQ(sp.cba, expected[p][4]) << p;
        EXPECT_EQ(sp.trace_flag, 0.0);
        const WorkPoint& w = points.work[p];
        EXPECT_EQ(w.value[work::x], expected[p][0]);
        EXPECT_EQ(w.value[work::y], expected[p][1]);
        EXPECT_EQ(w.value[work::height], expected[p][3]);
        EXPECT_EQ(w.value[work::cba], expected[p][4]);
        for (int i = 4; i < 15; ++i) EXPECT_EQ(w.value[i], 0.0);
    }
    const PointExtent& e = points.extent;
    EXPECT_EQ(e.x_min, 100.5);
    EXPECT_EQ(e.x_max, 105);
    EXPECT_EQ(e.y_min, 200.5);
    EXPECT_EQ(e.y_max, 205);
    EXPECT_EQ(e.height_min, 300);
    EXPECT_EQ(e.height_max, 305);
    EXPECT_EQ(e.x_offset, 0);
    EXPECT_EQ(e.y_offset, 0);
}

TEST(point_reader, decimal_comma_depends_on_the_separator) {
    const std::string path = write_file("comma.dat", "100,5 200,5 1 300 12,5\n");
    PointData points;
    FakeMonitor monitor;
    ASSERT_EQ(read_points(settings_for(path, ','), points, monitor), 0);
    ASSERT_EQ(points.count, 1u);
    EXPECT_EQ(points.x(0), 100.5);
    EXPECT_EQ(points.y(0), 200.5);
    EXPECT_EQ(points.survey[0].cba, 12.5);
    // With '.' every comma splits: 100 5 200 5 1 300 12 5.
    ASSERT_EQ(read_points(settings_for(path, '.'), points, monitor), 0);
    ASSERT_EQ(points.count, 1u);
    EXPECT_EQ(points.x(0), 100);
    EXPECT_EQ(points.y(0), 5);
    EXPECT_EQ(points.survey[0].point_number, 200);
    EXPECT_EQ(points.height(0), 5);
    EXPECT_EQ(points.survey[0].cba, 1);
}

// Under a comma locale a survey written with points has no number at all: the message
// keeps its line and adds why. Words that are no numbers either way get no hint.
TEST(point_reader, no_data_hints_at_the_other_decimal_separator) {
    PointData points;
    FakeMonitor monitor;
    const std::string dotted = write_file("dotted.dat", "x y p h cba\n100.5 200.5 1 300 12.5\n");
    EXPECT_EQ(read_points(settings_for(dotted, ','), points, monitor), 1);
    const std::string words = write_file("words_only.dat", "a b c d e\nf g h i j\n");
    EXPECT_EQ(read_points(settings_for(words, ','), points, monitor), 1);
    const std::vector<std::string> expected = {
        "Input file contains no valid xyz data\nThe file's numbers use '.' as decimal "
        "separator, this system uses ','.",
        "Input file contains no valid xyz data"};
    EXPECT_EQ(monitor.messages, expected);
}

TEST(point_reader, shifts_negative_coordinates) {
    const std::string path =
        write_file("negative.dat", "-100 -5 1 10 1\n-250 30 2 20 1\n-120.5 -7.25 3 15 1\n");
    PointData points;
    FakeMonitor monitor;
    ASSERT_EQ(read_points(settings_for(path), points, monitor), 0);
    ASSERT_EQ(points.count, 3u);
    const PointExtent& e = points.extent;
    EXPECT_EQ(e.x_offset, 250);
    EXPECT_EQ(e.y_offset, 7.25);
    EXPECT_EQ(e.x_min, 0);
    EXPECT_EQ(e.x_max, 150);
    EXPECT_EQ(e.y_min, 0);
    EXPECT_EQ(e.y_max, 37.25);
    EXPECT_EQ(e.height_min, 10);
    EXPECT_EQ(e.height_max, 20);
    const double xs[3] = {150, 0, 129.5}, ys[3] = {2.25, 37.25, 0};
    const double read_x[3] = {-100, -250, -120.5};
    for (std::size_t p = 0; p < 3; ++p) {
        EXPECT_EQ(points.x(p), xs[p]);
        EXPECT_EQ(points.y(p), ys[p]);
        EXPECT_EQ(points.work[p].value[work::x], xs[p]);
        EXPECT_EQ(points.work[p].value[work::y], ys[p]);
        EXPECT_EQ(points.x(p) - e.x_offset, read_x[p]);
    }
}

TEST(point_reader, failures_show_their_message) {
    PointData points;
    FakeMonitor monitor;
    const std::string missing = temp_path("does_not_exist.dat");
    RunSettings s = settings_for(missing);
    EXPECT_EQ(read_points(s, points, monitor), 1);
    s = settings_for(write_file("words.dat", "X Y POINT HEIGHT CBA\nLine 1\n"));
    EXPECT_EQ(read_points(s, points, monitor), 1);
    s = settings_for(write_file("six.dat", "1 2 3 4 5 6\n7 8 9 10 11 12\n"));
    s.column_cba = 7;  // "H" lies past the sixth token
    EXPECT_EQ(read_points(s, points, monitor), 1);
    s = settings_for(testing::TempDir());  // a folder opens but cannot be read
    EXPECT_EQ(read_points(s, points, monitor), 1);
    // The first line as always; the name and the system's reason follow on a second.
    const std::vector<std::string> expected = {
        "Cannot open input data file\n" + missing + ": No such file or directory",
        "Input file contains no valid xyz data", "Input file contains no valid xyz data",
        "Cannot open input data file\n" + testing::TempDir() + ": Is a directory"};
    EXPECT_EQ(monitor.messages, expected);
    EXPECT_EQ(points.count, 0u);
    EXPECT_TRUE(points.survey.empty());
}

TEST(point_reader, input_that_cannot_be_read_twice_fails) {
    // A pipe gives its lines once: the second pass finds none of the points counted.
    const std::string path = temp_path("pipe");
    std::remove(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(path, std::ios::binary) << "1 2 3 4 5\n6 7 8 9 10\n"; });
    PointData points;
    FakeMonitor monitor;
    EXPECT_EQ(read_points(settings_for(path), points, monitor), 1);
    writer.join();
    std::remove(path.c_str());
    EXPECT_EQ(monitor.messages, std::vector<std::string>{"Input file changed while reading"});
    EXPECT_EQ(points.count, 0u);
}

TEST(point_reader, subset_marks_first_point_within_tolerance) {
    const std::string input =
        write_file("subset_points.dat", "0 0 17 1 1\n1 0 18 1 1\n2 0 17 1 1\n3 0 19 1 1\n4 0 20 1 1\n");
    RunSettings s = settings_for(input);
    PointData points;
    FakeMonitor monitor;
    ASSERT_EQ(read_points(s, points, monitor), 0);
    s.subset_file = write_file("subset.dat",
                               "POINT\n"
                               "9 9 17.0000005 0 0\n"  // half of 1e-6 away: point 17
                               "9 9 18.00001 0 0\n"    // 1e-5 away: no match
                               "9 9 17 0 0\n"          // the first 17 again, never the second
                               "9 9 19 0\n"            // four tokens: rejected
                               "9 9 20 0 0\n"
                               "9 9 99 0 0\n");  // no such point: ignored
    ASSERT_EQ(read_subset(s, points, monitor), 0);
    EXPECT_TRUE(monitor.messages.empty());
    const double flags[5] = {1, 0, 0, 0, 1};
    for (std::size_t p = 0; p < 5; ++p) EXPECT_EQ(points.survey[p].trace_flag, flags[p]) << p;

    s.subset_file = temp_path("no_subset.dat");
    EXPECT_EQ(read_subset(s, points, monitor), 1);
    EXPECT_EQ(monitor.messages, std::vector<std::string>{"Cannot open subset input data file"});
}

// A large file is read in parts by several threads; the points, their order and the
// extent must be those of one reading, whatever the number of parts and wherever the
// splits fall (inside long lines, CR LF pairs, labels and comments). The values include
// -0 and +0 at the extremes, where the order of taking them decides the extent's bits.
TEST(point_reader, parts_read_by_threads_give_the_points_of_one_reading) {
    std::string text = "\xEF\xBB\xBF" "X Y POINT H CBA\r\n";
    std::uint64_t state = 99;
    auto below = [&state](unsigned n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>((state >> 33) % n);
    };
    char line[400];
    int number = 0;
    while (text.size() < (std::size_t{9} << 20)) {
        const unsigned kind = below(40);
        const char* end = below(5) == 0 ? "\r\n" : (below(20) == 0 ? "\r" : "\n");
        if (kind == 0) {
            text += "/ comment 1 2 3 4 5";
        } else if (kind == 1) {
            text += "Line 12";
        } else if (kind == 2) {
            text += std::string(300 + below(200), '1');  // cut into pieces of 253
        } else if (kind == 3) {
            text += below(2) ? "-0 -0.0 " : "0 0 ";
            text += std::to_string(++number) + " -0.0 0";
        } else {
            std::snprintf(line, sizeof line, "%u.%02u\t%u.%02u %d %u.5 -%u.25e-1", below(90000),
                          below(100), below(90000), below(100), ++number, below(900),
                          below(10000));
            text += line;
        }
        text += end;
    }
    const std::string path = write_file("parts.dat", text);
    auto read_with = [&](unsigned threads) {
        RunSettings s = settings_for(path);
        s.threads = threads;
        PointData points;
        FakeMonitor monitor;
        EXPECT_EQ(read_points(s, points, monitor), 0) << threads;
        return points;
    };
    const PointData one = read_with(1);
    ASSERT_GT(one.count, 100000u);
    for (unsigned threads : {2u, 3u, 7u}) {
        const PointData many = read_with(threads);
        ASSERT_EQ(many.count, one.count) << threads;
        EXPECT_EQ(std::memcmp(&many.extent, &one.extent, sizeof one.extent), 0) << threads;
        EXPECT_EQ(std::memcmp(many.survey.data(), one.survey.data(),
                              one.count * sizeof(SurveyPoint)), 0) << threads;
        EXPECT_EQ(std::memcmp(many.work.data(), one.work.data(), one.count * sizeof(WorkPoint)), 0)
            << threads;
    }
}

// A part's thread that cannot start (its stack does not fit under an address-space
// limit) is read on the calling thread: the same points, no abort. Under that limit
// there is no room either to keep the values pass 1 parsed (the room for as many lines
// as the text could hold), so pass 2 parses the text again, in parts and as one. The
// limit is set in a child, a few MiB above what it uses; the file is large enough to be
// read in parts but holds few points, so that their arrays fit.
TEST(point_reader, parts_without_room_for_threads_are_read_by_the_caller) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
#endif
    std::string text = "X Y POINT H CBA\n";
    const std::string comment = "/ " + std::string(200, '-') + "\n";
    for (int number = 1; text.size() < (std::size_t{6} << 20); ++number) {
        for (int k = 0; k < 12; ++k) text += comment;
        text += std::to_string(100 + number % 97) + "." + std::to_string(number % 10) + " " +
                std::to_string(50 + number % 89) + " " + std::to_string(number) + " 300 -" +
                std::to_string(number % 13) + ".5\n";
    }
    const std::string path = write_file("few_points.dat", text);
    RunSettings s = settings_for(path);
    s.threads = 1;
    const PointData one = unlimited_reading(s);
    ASSERT_GT(one.count, 2000u);

    const ThreadlessEnd end = run_without_room_for_threads(
        [&] {
            bool same = true;
            for (unsigned threads : {4u, 1u}) {
                RunSettings limited = s;
                limited.threads = threads;
                PointData again;
                FakeMonitor quiet;
                same = same && read_points(limited, again, quiet) == 0 && same_points(again, one);
            }
            return same;
        },
        rlim_t{6} << 20);
    if (end == ThreadlessEnd::ThreadStarted) GTEST_SKIP() << "a kept stack let a thread start";
    EXPECT_EQ(end, ThreadlessEnd::Passed);
}

// Pass 1's kept values hold address space for as many lines as the text could have. Under
// a limit with room for them or for the point arrays, but not for both, they give way to
// the arrays and the text is read again: the same points as without a limit, where a
// reading that kept them to the end would fail for lack of memory.
TEST(point_reader, kept_values_give_way_to_the_arrays_under_an_address_space_limit) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
#endif
    std::string text;
    for (int number = 1; text.size() < (std::size_t{6} << 20); ++number)
        text += std::to_string(1000 + number % 997) + ".25 " + std::to_string(2000 + number % 991) +
                ".5 " + std::to_string(number) + " 312.5 -" + std::to_string(number % 17) + ".75\n";
    const std::string path = write_file("dense_points.dat", text);
    RunSettings s = settings_for(path);
    s.threads = 1;
    const PointData one = unlimited_reading(s);
    ASSERT_GT(one.count, 0u);
    const rlim_t kept = (text.size() / 9 + 1) * sizeof(ColumnValues);
    const rlim_t arrays = (one.count + 1) * (sizeof(SurveyPoint) + sizeof(WorkPoint));
    const rlim_t room = std::max(kept, arrays) + std::min(kept, arrays) / 2;

    constexpr int SAME_POINTS = 0, FAILED = 4;
    const pid_t child = ::fork();
    if (child == 0) {
        if (!limit_address_space_to_use_plus(room)) ::_exit(FAILED);
        PointData again;
        FakeMonitor quiet;
        const bool same = read_points(s, again, quiet) == 0 && same_points(again, one);
        ::_exit(same ? SAME_POINTS : FAILED);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), SAME_POINTS);
}
