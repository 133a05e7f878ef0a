#include "batch/batch_previews.h"

#include <filesystem>

#include "engine/fit/trend_model.h"
#include "orvgrid/files/image_files.h"
#include "engine/points/number_text.h"
#include "orvgrid/preview_vars.h"

namespace {

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string extension_of(PreviewFormat format) {
    switch (format) {
    case PreviewFormat::Bitmap: return ".bmp";
    case PreviewFormat::Jpeg: return ".jpg";
    case PreviewFormat::SurferGrid: return ".grd";
    }
    return ".bmp";
}

}  // namespace

std::vector<std::string> preview_list_entries(int slot, Tendency tendency) {
    if (slot == 1) return {"HEIGHT", "CBA"};
    std::vector<std::string> entries;
    for (const PreviewEntry& entry : trend_model(tendency).result_list)
        entries.emplace_back(entry.text);
    return entries;
}

std::optional<int> preview_list_index(int slot, Tendency tendency, const std::string& text) {
    const std::vector<std::string> entries = preview_list_entries(slot, tendency);
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (upper(entries[i]) == upper(text)) return static_cast<int>(i);
    return std::nullopt;
}

int preview_index_after_rule(int slot, Tendency tendency, int stored) {
    const int fallback = slot == 2 ? 0 : 1;
    if (slot == 1) return stored == 0 || stored == 1 ? stored : fallback;
    if (stored < 0) return fallback;
    return stored <= trend_model(tendency).keep_bound ? stored : 0;
}

std::string choose_preview_vars(const std::vector<std::string>& texts, RunSettings& settings) {
    int* targets[3] = {&settings.preview_var1, &settings.preview_var2, &settings.preview_var3};
    for (int slot = 1; slot <= 3; ++slot) {
        const std::string& text = texts[static_cast<std::size_t>(slot - 1)];
        std::optional<int> index = preview_list_index(slot, settings.tendency, text);
        if (!index) {
            std::string known;
            for (const std::string& entry : preview_list_entries(slot, settings.tendency))
                known += (known.empty() ? "" : ", ") + entry;
            return "preview " + std::to_string(slot) + " has no entry '" + text +
                   "' for this tendency (entries: " + known + ")";
        }
        *targets[slot - 1] = *index;
    }
    return {};
}

std::string preview_file_name(int slot, const RunSettings& settings, PreviewFormat format) {
    const int index = slot == 1 ? settings.preview_var1
                      : slot == 2 ? settings.preview_var2
                                  : settings.preview_var3;
    const std::vector<std::string> entries = preview_list_entries(slot, settings.tendency);
    const std::string text =
        index >= 0 && static_cast<std::size_t>(index) < entries.size() ? entries[index] : "";
    std::string name = suggested_image_name(
        text, format_general(settings.search_radius, settings.decimal_separator),
        std::to_string(settings.iterations), settings.iteration_object == 1 ? "LGA" : "RGA");
    return name.substr(0, name.size() - 4) + extension_of(format);
}

bool write_preview_files(const PreviewSet& previews, const RunSettings& settings,
                         const std::string& folder, PreviewFormat format, RunMonitor& monitor) {
    for (int slot = 1; slot <= 3; ++slot) {
        if (!previews.has_result(slot)) continue;
        const std::string path =
            (std::filesystem::path(folder) / preview_file_name(slot, settings, format)).string();
        FileWriteResult written;
        if (format == PreviewFormat::Bitmap) written = write_bitmap_file(previews.image(slot), path);
        if (format == PreviewFormat::Jpeg) written = write_jpeg_file(previews.image(slot), path);
        if (format == PreviewFormat::SurferGrid)
            written = write_surfer_grid(previews.result(slot).grid, path);
        if (!written.ok) {
            monitor.show_message("Cannot write preview file " + path + ": " + written.message);
            return false;
        }
    }
    return true;
}
