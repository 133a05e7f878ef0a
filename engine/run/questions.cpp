#include "engine/run/questions.h"

#include "engine/points/number_text.h"

namespace {

// One overload per kind, so that a new kind without its words does not compile.
std::string text_of(const CancelCalculation&) { return "Cancel calculation?"; }
std::string text_of(const SystemFailed& failed) {
    return failure_statement(failed) + ". Continue?";
}

std::string caption_of(const CancelCalculation&) { return "Warning"; }
std::string caption_of(const SystemFailed&) { return "Error"; }

bool ending_answer(const CancelCalculation&) { return true; }
bool ending_answer(const SystemFailed&) { return false; }

}  // namespace

std::string question_text(const Question& question) {
    return std::visit([](const auto& q) { return text_of(q); }, question);
}

std::string question_caption(const Question& question) {
    return std::visit([](const auto& q) { return caption_of(q); }, question);
}

std::string point_number_text(const SystemFailed& failed) {
    return format_general(failed.point_number, failed.decimal_separator);
}

std::string failure_statement(const SystemFailed& failed) {
    return "Error in SLE - Check coordinate of point " + point_number_text(failed);
}

bool answer_that_ends_run(const Question& question) {
    return std::visit([](const auto& q) { return ending_answer(q); }, question);
}
