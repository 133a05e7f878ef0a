#pragma once
// The window's four file dialogs: default extensions and filters.

#include "prompts.h"

// Turns "description|pattern|description|pattern..." into Qt name filters, in the same
// order. A description that already ends with its pattern in brackets is kept as it
// is; otherwise the pattern is added in brackets.
QStringList qtFiltersFromPairs(const QString& pairs);

// Open dialog 1 (input and subset), save dialog 1 (output), save dialog 2 (preview
// images, with the node grid as a third filter) and open dialog 2 (result files).
FileDialogSpec fileDialogSpec(FileDialogId id);

// Filter positions of save dialog 2.
inline constexpr int SAVE_AS_BITMAP = 0;
inline constexpr int SAVE_AS_JPEG = 1;
inline constexpr int SAVE_AS_GRID = 2;
