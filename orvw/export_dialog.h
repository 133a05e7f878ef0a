#pragma once
// The export dialog: folder, grid variables, cell size, grid format and value type,
// station layer format and coordinate system, laid out in one form.

#include <QDialog>

#include "orvw/export_prompt.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

class ExportDialog : public QDialog {
    Q_OBJECT
public:
    ExportDialog(const ExportDialogInput& input, QWidget* parent = nullptr);

    // The choices as the controls hold them, once accepted.
    ExportOptions choices() const;

public slots:
    // Accepts unless the cell size is neither empty nor a number (said in the dialog).
    void accept() override;

private:
    void chooseFolder();

    char decimal_separator_;
    std::optional<double> cell_size_;
    QLineEdit* folder_ = nullptr;
    QListWidget* variables_ = nullptr;
    QLineEdit* cell_ = nullptr;
    QComboBox* grid_format_ = nullptr;
    QComboBox* value_type_ = nullptr;
    QComboBox* stations_ = nullptr;
    QLineEdit* crs_ = nullptr;
    QLabel* problem_ = nullptr;  // why the choices were not accepted
};

// The window's export prompt as this dialog.
class QtExportPrompt : public ExportPrompt {
public:
    explicit QtExportPrompt(QWidget* parent) : parent_(parent) {}
    std::optional<ExportOptions> chooseExport(const ExportDialogInput& input) override;

private:
    QWidget* parent_;
};
