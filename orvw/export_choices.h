#pragma once
// The export dialog's last choices, kept between starts in a small file of their own
// beside the settings file (never in the settings file, whose layout is fixed).

#include <QString>

#include "export/export_options.h"

// The file for the settings file at `settings_path`: its name with "_export.ini" for
// the extension (orvane.cfg: orvane_export.ini). Empty for an empty path.
QString exportChoicesPath(const QString& settings_path);

struct RememberedExport {
    ExportOptions options;
    bool has_variables = false;  // false: never chosen, the dialog offers its default
};

// The choices stored at `path`; the defaults where nothing (or nothing valid) is stored.
RememberedExport loadExportChoices(const QString& path);

// Stores the choices at `path`; false when the file cannot be written.
bool saveExportChoices(const QString& path, const ExportOptions& options);
