#include "orvw/export_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "engine/points/number_text.h"

namespace {

// The entries of the format lists, in the order of the command line's names.
const char* const GRID_FORMATS[] = {"GeoTIFF (.tif)", "netCDF (.nc)", "Surfer 7 binary (.grd)",
                                    "Surfer ASCII, DSAA (.grd)"};
const char* const VALUE_TYPES[] = {"Float64", "Float32"};
const char* const STATION_FORMATS[] = {"GeoPackage (.gpkg)", "CSV (.csv)", "none"};

QComboBox* listOf(const char* const* entries, int count, int current, QWidget* parent) {
    auto* list = new QComboBox(parent);
    for (int i = 0; i < count; ++i) list->addItem(QString::fromLatin1(entries[i]));
    list->setCurrentIndex(current);
    return list;
}

}  // namespace

ExportDialog::ExportDialog(const ExportDialogInput& input, QWidget* parent)
    : QDialog(parent), decimal_separator_(input.decimal_separator) {
    setObjectName(QStringLiteral("dlg_export"));
    setWindowTitle(QStringLiteral("Export for a GIS"));
    const ExportOptions& last = input.last;
    auto* form = new QFormLayout(this);

    folder_ = new QLineEdit(QString::fromStdString(last.folder), this);
    folder_->setObjectName(QStringLiteral("txt_folder"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    connect(browse, &QPushButton::clicked, this, &ExportDialog::chooseFolder);
    auto* folder_row = new QHBoxLayout;
    folder_row->addWidget(folder_);
    folder_row->addWidget(browse);
    form->addRow(QStringLiteral("Folder:"), folder_row);

    variables_ = new QListWidget(this);
    variables_->setObjectName(QStringLiteral("lst_variables"));
    for (const QString& name : input.variables) {
        auto* item = new QListWidgetItem(name, variables_);
        bool chosen = false;
        for (const std::string& wanted : last.variables)
            chosen = chosen || QString::fromStdString(wanted).compare(name, Qt::CaseInsensitive) == 0;
        item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
    }
    form->addRow(QStringLiteral("Grids of:"), variables_);

    QString cell_text;
    if (last.cell_size)
        cell_text = QString::fromStdString(format_general(*last.cell_size, decimal_separator_));
    cell_ = new QLineEdit(cell_text, this);
    cell_->setObjectName(QStringLiteral("txt_cell"));
    cell_->setPlaceholderText(QStringLiteral("preview spacing, %1").arg(input.default_cell));
    form->addRow(QStringLiteral("Cell size (m):"), cell_);

    grid_format_ = listOf(GRID_FORMATS, 4, static_cast<int>(last.grid_format), this);
    form->addRow(QStringLiteral("Grid format:"), grid_format_);
    value_type_ = listOf(VALUE_TYPES, 2, static_cast<int>(last.value_type), this);
    form->addRow(QStringLiteral("Grid values:"), value_type_);
    stations_ = listOf(STATION_FORMATS, 3,
                       last.station_format ? static_cast<int>(*last.station_format) : 2, this);
    form->addRow(QStringLiteral("Stations:"), stations_);

    crs_ = new QLineEdit(QString::fromStdString(last.crs), this);
    crs_->setObjectName(QStringLiteral("txt_crs"));
    crs_->setPlaceholderText(QStringLiteral("EPSG:32633, WKT or PROJ string; empty: none"));
    form->addRow(QStringLiteral("Coordinate system:"), crs_);

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("lbl_problem"));
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    form->addRow(problem_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Export"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ExportDialog::reject);
    form->addRow(buttons);
}

ExportOptions ExportDialog::choices() const {
    ExportOptions options;
    options.folder = folder_->text().trimmed().toStdString();
    for (int i = 0; i < variables_->count(); ++i)
        if (variables_->item(i)->checkState() == Qt::Checked)
            options.variables.push_back(variables_->item(i)->text().toStdString());
    options.cell_size = cell_size_;
    options.grid_format = static_cast<GridFormat>(grid_format_->currentIndex());
    options.value_type = static_cast<GridValueType>(value_type_->currentIndex());
    if (stations_->currentIndex() < 2)
        options.station_format = static_cast<StationFormat>(stations_->currentIndex());
    else
        options.station_format.reset();
    options.crs = crs_->text().trimmed().toStdString();
    return options;
}

// An empty cell size is the preview's spacing; anything else must be a number.
void ExportDialog::accept() {
    const std::string text = cell_->text().trimmed().toStdString();
    cell_size_.reset();
    if (!text.empty()) {
        cell_size_ = parse_double(text, decimal_separator_);
        if (!cell_size_) cell_size_ = parse_double(text, '.');
        if (!cell_size_) {
            problem_->setText(QStringLiteral("The cell size '%1' is not a number.").arg(cell_->text()));
            cell_->setFocus();
            return;
        }
    }
    QDialog::accept();
}

void ExportDialog::chooseFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Export folder"),
                                                             folder_->text());
    if (!folder.isEmpty()) folder_->setText(folder);
}

std::optional<ExportOptions> QtExportPrompt::chooseExport(const ExportDialogInput& input) {
    ExportDialog dialog(input, parent_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choices();
}
