#include "engine/points/text_output.h"

namespace {

constexpr std::size_t FLUSH_BYTES = std::size_t{256} << 10;

}  // namespace

TextOutput::~TextOutput() { close(); }

bool TextOutput::open(const std::string& path) {
    if (is_open()) close();
    pending_.clear();
    held_line_.clear();
    whole_size_ = 0;
    failed_ = false;
    return file_.open(path);
}

bool TextOutput::hold_first_line(std::string_view line, std::string_view stand_in) {
    if (line.empty() || file_.in_place()) return write(line);
    std::string shown(stand_in.substr(0, line.size() - 1));
    shown.resize(line.size() - 1, ' ');
    shown += '\n';
    if (!write(shown)) return false;
    held_line_ = line;
    return true;
}

bool TextOutput::write(std::string_view text) {
    if (!is_open() || failed_) return false;
    pending_.append(text);
    return pending_.size() < FLUSH_BYTES || flush();
}

bool TextOutput::flush() {
    if (failed_) return false;
    const bool written = file_.write(pending_);
    if (written) whole_size_ += pending_.size();
    pending_.clear();
    if (written) return true;
    // A row cut by a full disk would read as a station with wrong values.
    failed_ = true;
    file_.truncate(whole_size_);
    return false;
}

bool TextOutput::close() {
    if (!is_open()) return true;
    bool kept = flush();
    if (!held_line_.empty() && whole_size_ >= held_line_.size())
        kept = file_.write_at(0, held_line_) && kept;
    held_line_.clear();
    return file_.commit(Durability::Renamed) && kept;
}
