#pragma once
// The window's settings as they lie in the settings file: one 903-byte packed
// little-endian record. Fields are read and written at explicit byte offsets, so the
// layout depends neither on the compiler's packing nor on the host's byte order.
// Bytes the program does not own (the reserved stretches, the bytes after a text's
// terminating zero) stay exactly as they were read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace settings_field {
inline constexpr std::size_t txt_in = 0;         // text, 255
inline constexpr std::size_t txt_out = 255;      // text, 255
inline constexpr std::size_t txt_radius = 510;   // double
inline constexpr std::size_t reserved_1 = 518;   // 8 bytes, never set
inline constexpr std::size_t txt_nearest = 526;  // double
inline constexpr std::size_t txt_iter = 534;     // int
inline constexpr std::size_t cb_iter = 538;      // int
inline constexpr std::size_t cb_preview = 542;   // flag
inline constexpr std::size_t cb1 = 543;          // int
inline constexpr std::size_t cb2 = 547;          // int
inline constexpr std::size_t cb3 = 551;          // int
inline constexpr std::size_t cmb_point = 555;    // int
inline constexpr std::size_t cmb_gx = 559;       // int
inline constexpr std::size_t cmb_gy = 563;       // int
inline constexpr std::size_t cmb_gz = 567;       // int
inline constexpr std::size_t cmb_uba = 571;      // int
inline constexpr std::size_t txt_log = 575;      // text, 255
inline constexpr std::size_t cmb_centerx = 830;  // int
inline constexpr std::size_t cmb_centery = 834;  // int
inline constexpr std::size_t cmb_centerz = 838;  // int
inline constexpr std::size_t cmb_centeru = 842;  // int
inline constexpr std::size_t txt_alpha = 846;    // double
inline constexpr std::size_t chb_cpin = 854;     // flag
inline constexpr std::size_t rg_tendencies = 855;  // int
inline constexpr std::size_t rg_method = 859;      // int
inline constexpr std::size_t txt_threshold = 863;  // double
inline constexpr std::size_t reserved_2 = 871;     // 24 bytes, never set
inline constexpr std::size_t txt_npoints = 895;    // int
inline constexpr std::size_t rg_search = 899;      // int

inline constexpr std::size_t TEXT_WIDTH = 255;  // 254 characters and the zero
inline constexpr std::size_t RESERVED_1_WIDTH = 8;
inline constexpr std::size_t RESERVED_2_WIDTH = 24;
}  // namespace settings_field

class SettingsBlock {
public:
    static constexpr std::size_t SIZE = 903;
    static constexpr std::size_t MAX_TEXT_CHARS = settings_field::TEXT_WIDTH - 1;

    // A zero-filled block, as the window holds it before a file is read.
    SettingsBlock() = default;

    // The characters before the first zero of the text field at offset; a field with
    // no zero in its 255 bytes (a damaged file) reads as empty.
    std::string text(std::size_t offset) const;
    // Stores the characters and their zero; the bytes after the zero are left as they
    // were. False, with the field untouched, for a text of more than 254 bytes or one
    // holding a zero byte: it would not come back as the same text.
    bool put_text(std::size_t offset, std::string_view value);

    std::int32_t int32(std::size_t offset) const;
    void put_int32(std::size_t offset, std::int32_t value);

    double real(std::size_t offset) const;  // IEEE 754 binary64, little-endian
    void put_real(std::size_t offset, double value);

    bool flag(std::size_t offset) const;  // any non-zero byte counts as set
    void put_flag(std::size_t offset, bool value);

    std::span<const std::uint8_t, SIZE> bytes() const { return bytes_; }
    std::span<std::uint8_t, SIZE> bytes() { return bytes_; }

private:
    std::uint64_t load_le(std::size_t offset, std::size_t width) const;
    void store_le(std::size_t offset, std::size_t width, std::uint64_t value);

    std::array<std::uint8_t, SIZE> bytes_{};
};
