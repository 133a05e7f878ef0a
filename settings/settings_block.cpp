#include "settings/settings_block.h"

#include <algorithm>
#include <bit>
#include <cstring>

std::uint64_t SettingsBlock::load_le(std::size_t offset, std::size_t width) const {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | bytes_[offset + i];
    return value;
}

void SettingsBlock::store_le(std::size_t offset, std::size_t width, std::uint64_t value) {
    for (std::size_t i = 0; i < width; ++i) {
        bytes_[offset + i] = static_cast<std::uint8_t>(value & 0xFFu);
        value >>= 8;
    }
}

std::string SettingsBlock::text(std::size_t offset) const {
    const auto* first = bytes_.data() + offset;
    const auto* last = first + settings_field::TEXT_WIDTH;
    const auto* zero = std::find(first, last, std::uint8_t{0});
    if (zero == last) return {};
    return std::string(reinterpret_cast<const char*>(first),
                       static_cast<std::size_t>(zero - first));
}

bool SettingsBlock::put_text(std::size_t offset, std::string_view value) {
    if (value.size() > MAX_TEXT_CHARS) return false;
    if (value.find('\0') != std::string_view::npos) return false;
    std::memcpy(bytes_.data() + offset, value.data(), value.size());
    bytes_[offset + value.size()] = 0;
    return true;
}

std::int32_t SettingsBlock::int32(std::size_t offset) const {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(load_le(offset, 4)));
}

void SettingsBlock::put_int32(std::size_t offset, std::int32_t value) {
    store_le(offset, 4, static_cast<std::uint32_t>(value));
}

double SettingsBlock::real(std::size_t offset) const {
    return std::bit_cast<double>(load_le(offset, 8));
}

void SettingsBlock::put_real(std::size_t offset, double value) {
    store_le(offset, 8, std::bit_cast<std::uint64_t>(value));
}

bool SettingsBlock::flag(std::size_t offset) const { return bytes_[offset] != 0; }

void SettingsBlock::put_flag(std::size_t offset, bool value) {
    bytes_[offset] = value ? 1 : 0;
}
