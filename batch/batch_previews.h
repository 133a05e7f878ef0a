#pragma once
// The three preview maps of a batch run: which list entry each shows, and the files
// they are saved into under the names the window's save buttons suggest.

#include <optional>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "engine/engine.h"
#include "orvgrid/preview_set.h"

// The entries of preview list `slot` (1: "HEIGHT", "CBA"; 2 and 3: the tendency's
// list, as a fresh window fills it).
std::vector<std::string> preview_list_entries(int slot, Tendency tendency);

// Index of `text` (any case) in preview list `slot` under tendency; nullopt if absent.
std::optional<int> preview_list_index(int slot, Tendency tendency, const std::string& text);

// The index a settings-file selection ends at after the window's tendency rule: kept
// when within the rule's bound, else 0; no selection (-1) gives the window's default.
int preview_index_after_rule(int slot, Tendency tendency, int stored);

// Sets preview_var1..3 from the list texts; "" or the name of what is wrong.
std::string choose_preview_vars(const std::vector<std::string>& texts, RunSettings& settings);

// The file name for slot under the settings, with the extension of format.
std::string preview_file_name(int slot, const RunSettings& settings, PreviewFormat format);

// Writes every slot that holds a result into folder; false after the first failure
// (message shown).
bool write_preview_files(const PreviewSet& previews, const RunSettings& settings,
                         const std::string& folder, PreviewFormat format, RunMonitor& monitor);
