#pragma once
// The questions a run asks whoever started it, by kind. A monitor decides by the kind;
// the words a person reads are built here and nowhere else.

#include <string>
#include <variant>

// Stop was pressed: end the run?
struct CancelCalculation {
    bool operator==(const CancelCalculation&) const = default;
};

// The local system of a point could not be solved: go on without its row?
struct SystemFailed {
    double point_number = 0.0;
    char decimal_separator = '.';  // the run's, for writing the point number
    bool operator==(const SystemFailed&) const = default;
};

using Question = std::variant<CancelCalculation, SystemFailed>;

// The text of the Yes/No box: "Cancel calculation?", or "Error in SLE - Check coordinate
// of point 17.5. Continue?".
std::string question_text(const Question& question);

// The caption of the Yes/No box: "Warning" for the cancel, "Error" for a failed system.
std::string question_caption(const Question& question);

// The point number as the failed-system question writes it: general format, up to 15
// significant digits, the run's decimal separator ("17", "17,5").
std::string point_number_text(const SystemFailed& failed);

// What the failed-system question states before it asks to continue: "Error in SLE -
// Check coordinate of point 17". For telling a person the point without asking.
std::string failure_statement(const SystemFailed& failed);

// The answer that winds the run up: Yes to the cancel, No to going on past a failed
// system. For a monitor with nobody to ask.
bool answer_that_ends_run(const Question& question);
