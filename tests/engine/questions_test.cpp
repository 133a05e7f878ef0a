#include "engine/run/questions.h"

#include <gtest/gtest.h>

#include <string>

// The words of every question, as the Yes/No box shows them.
TEST(questions, each_kind_has_its_text_and_caption) {
    EXPECT_EQ(question_text(CancelCalculation{}), "Cancel calculation?");
    EXPECT_EQ(question_caption(CancelCalculation{}), "Warning");

    struct Case {
        double number;
        char separator;
        const char* text;
    };
    const Case cases[] = {
        {17.0, '.', "Error in SLE - Check coordinate of point 17. Continue?"},
        {17.5, '.', "Error in SLE - Check coordinate of point 17.5. Continue?"},
        {17.5, ',', "Error in SLE - Check coordinate of point 17,5. Continue?"},
        {-3.25, '.', "Error in SLE - Check coordinate of point -3.25. Continue?"},
        {123456789012345678.0, '.',
         "Error in SLE - Check coordinate of point 1.23456789012346E17. Continue?"},
    };
    for (const Case& c : cases) {
        const Question q = SystemFailed{c.number, c.separator};
        EXPECT_EQ(question_text(q), c.text);
        EXPECT_EQ(question_caption(q), "Error");
    }
}

TEST(questions, failed_point_is_named_as_the_question_names_it) {
    const SystemFailed failed{1001.5, ','};
    EXPECT_EQ(point_number_text(failed), "1001,5");
    EXPECT_EQ(failure_statement(failed), "Error in SLE - Check coordinate of point 1001,5");
}

// With nobody to ask, a Stop ends the run and so does a failed point.
TEST(questions, the_winding_up_answer_ends_the_run) {
    EXPECT_TRUE(answer_that_ends_run(CancelCalculation{}));
    EXPECT_FALSE(answer_that_ends_run(SystemFailed{4.0, '.'}));
}
