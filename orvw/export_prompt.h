#pragma once
// The export dialog behind an interface, as the window's other prompts are: the window
// asks it for the export's choices; tests answer it themselves.

#include <QString>
#include <QStringList>
#include <optional>

#include "export/export_options.h"

struct ExportDialogInput {
    ExportOptions last;     // the choices of the last export, remembered between starts
    QStringList variables;  // the grid variables the data in memory offer
    QString default_cell;   // the preview's node spacing, as the hint of an empty cell size
    char decimal_separator = '.';
};

class ExportPrompt {
public:
    virtual ~ExportPrompt() = default;
    // The confirmed choices (the cell size read in the window's number format, or '.'),
    // or nothing when the user cancels.
    virtual std::optional<ExportOptions> chooseExport(const ExportDialogInput& input) = 0;
};
