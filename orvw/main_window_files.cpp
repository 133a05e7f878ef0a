// File dialogs for the names, loading a result file, and the preview buttons and lists.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "orvw/busy_cursor_gridder.h"
#include "orvw/file_dialogs.h"
#include "orvw/main_window.h"
#include "engine/points/number_text.h"
#include "orvw/widgets/radio_group.h"
#include "engine/points/result_loader.h"
#include "orvw/window_monitor.h"

void TfrmMain::chooseFileInto(QLineEdit* field, FileDialogId id) {
    const FileDialogSpec spec = fileDialogSpec(id);
    int& filter = filter_index_[static_cast<std::size_t>(id)];
    const auto choice = spec.save ? prompts_->saveFile(spec, field->text(), filter)
                                  : prompts_->openFile(spec, field->text(), filter);
    if (!choice) return;
    field->setText(choice->path);
    filter = choice->filter_index;
}

void TfrmMain::btn_inClick() {
    chooseFileInto(txt_in, FileDialogId::Open1);
}

void TfrmMain::btn_logClick() {
    chooseFileInto(txt_log, FileDialogId::Open1);
}

// The filter reset belongs to the open dialog, as the form has always done it.
void TfrmMain::btn_outClick() {
    filter_index_[static_cast<std::size_t>(FileDialogId::Open1)] = 0;
    chooseFileInto(txt_out, FileDialogId::Save1);
}

// Loads a result file for preview: its points replace those in memory, its header sets
// the radius, iteration and object fields, its columns the tendency.
void TfrmMain::btn_loadClick() {
    if (busy_) return;
    int& filter = filter_index_[static_cast<std::size_t>(FileDialogId::Open2)];
    const auto choice = prompts_->openFile(fileDialogSpec(FileDialogId::Open2), QString(), filter);
    if (!choice) return;
    filter = choice->filter_index;
    txt_out->setText(choice->path);

    busy_ = true;
    WindowMonitor monitor(*this);
    ResultLoadOptions options;
    options.path = choice->path.toStdString();
    options.decimal_separator = decimal_separator_;
    options.nearest_radius =
        parse_double(txt_radius->text().toStdString(), decimal_separator_).value_or(0.0);
    ResultLoad load;
    {
        const BusyCursor busy;
        load = load_result_file(options, state_, monitor);
    }
    if (load.outcome != LoadOutcome::PreviousKept) pointsReplaced(choice->path);
    if (load.header && !load.radius_needed) showLoadedHeader(*load.header);
    if (load.outcome == LoadOutcome::Loaded) {
        data_settings_.tendency = load.tendency;
        data_settings_.search_radius = load.search_radius;
        data_settings_.grid_radius = load.grid_radius;
        data_settings_.cell_size = load.cell_size;
        // The loaded file is the data's only file: an export is named after it.
        data_settings_.input_file.clear();
        data_settings_.output_file = options.path;
        data_settings_.subset_file.clear();
        if (load.iteration_object) cb_iter->setCurrentIndex(*load.iteration_object);
        rg_tendencies->setItemIndex(static_cast<int>(load.tendency));
        applyTendencyRule(load.tendency);
        if (cb_preview->isChecked() && gridSlot(1, monitor) && gridSlot(2, monitor)) {
            monitor.process_events();
            gridSlot(3, monitor);
        }
    }
    finishBusy();
}

void TfrmMain::showLoadedHeader(const ResultHeader& header) {
    txt_in->clear();
    if (!header.nearest) txt_radius->setText(QString::fromStdString(header.radius_text));
    txt_iter->setText(QString::fromStdString(header.iterations_text));
    const int object = cb_iter->findText(QString::fromStdString(header.object_text));
    if (object >= 0) cb_iter->setCurrentIndex(object);
}

void TfrmMain::btn_save1Click() {
    savePreview(1);
}

void TfrmMain::btn_save2Click() {
    savePreview(2);
}

void TfrmMain::btn_save3Click() {
    savePreview(3);
}

void TfrmMain::cb1Change() {
    previewChange(1);
}

void TfrmMain::cb2Change() {
    previewChange(2);
}

void TfrmMain::cb3Change() {
    previewChange(3);
}
