#pragma once
// The window's file dialogs: default extensions and filters.

#include "orvw/prompts.h"

// Turns "description|pattern|description|pattern..." into Qt name filters, in the same
// order: the description, then the pattern in brackets, which the dialog reads and (with
// its filter details hidden) strips again, so the user sees each description as it is.
QStringList qtFiltersFromPairs(const QString& pairs);

// Open dialog 1 (input and subset), save dialog 1 (output), save dialog 2 (preview
// images, with the node grid as a third filter), open dialog 2 (result files) and the
// map window's save dialogs (the view as a picture, its grid as a GeoTIFF).
FileDialogSpec fileDialogSpec(FileDialogId id);

// Filter positions of save dialog 2.
inline constexpr int SAVE_AS_BITMAP = 0;
inline constexpr int SAVE_AS_JPEG = 1;
inline constexpr int SAVE_AS_GRID = 2;

// The extension of the files save dialog 2 writes under a filter ("bmp", "jpg", "grd");
// empty for no filter of it.
QString saveFilterExtension(int filter);
