#include "orvgrid/preview_vars.h"

#include "engine/fit/trend_model.h"

int first_list_position(int list_index) {
    if (list_index < 0) return -1;
    return work::height + list_index;
}

int result_list_position(int list_index, Tendency tendency) {
    if (list_index < 0) return -1;
    const auto& entries = trend_model(tendency).result_list;
    if (static_cast<std::size_t>(list_index) < entries.size())
        return entries[static_cast<std::size_t>(list_index)].position;
    // The lists may still hold another model's longer list (the rule of the NTE/FAY
    // model leaves them as they are): the entries beyond follow one after another.
    return work::hggax + list_index;
}

int preview_position(int slot, int list_index, Tendency tendency) {
    if (slot == 1) return first_list_position(list_index);
    if (slot == 2 || slot == 3) return result_list_position(list_index, tendency);
    return -1;
}

namespace {

// List and object texts are plain ASCII; lowering byte by byte keeps the name the same
// whatever the user's locale.
std::string lower_case(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lowered;
}

}  // namespace

std::string suggested_image_name(std::string_view list_text, std::string_view radius_text,
                                 std::string_view iteration_text,
                                 std::string_view object_text) {
    std::string name = lower_case(list_text);
    name += "_r=";
    name += radius_text;
    name += "_iter=";
    name += iteration_text;
    name += "_object=";
    name += lower_case(object_text);
    name += ".bmp";
    // Entries such as "HGGAX/GAX" would otherwise turn the suggestion into a path into a
    // folder that need not exist.
    for (char& c : name) {
        if (c == '/' || c == '\\') c = '_';
    }
    return name;
}
