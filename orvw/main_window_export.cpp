// The export for a GIS: reached from the preview pictures' context menu, it asks the
// export prompt for its choices (remembered beside the settings file) and writes the
// grids and the station layer of the data in memory, after a run or a load.

#include <QAction>
#include <QLineEdit>

#include "engine/points/number_text.h"
#include "export/export_fields.h"
#include "export/export_job.h"
#include "orvw/busy_cursor_gridder.h"
#include "orvw/export_choices.h"
#include "orvw/export_dialog.h"
#include "orvw/main_window.h"
#include "orvw/widgets/preview_picture.h"
#include "orvw/window_monitor.h"

void TfrmMain::createExportAction() {
    if (!export_prompt_) export_prompt_ = std::make_unique<QtExportPrompt>(this);
    auto* action = new QAction(QStringLiteral("Export..."), this);
    action->setObjectName(QStringLiteral("act_export"));
    connect(action, &QAction::triggered, this, &TfrmMain::exportResults);
    for (PreviewPicture* picture : {img_uba, img_regta, img_delta}) {
        picture->addAction(action);
        picture->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
}

void TfrmMain::exportResults() {
    if (busy_) return;
    if (!state_.results_ready) {
        showGeneralError(QStringLiteral("There is nothing to export yet: press Calc or Load a "
                                        "result file first."));
        return;
    }
    const Tendency tendency = data_settings_.tendency;
    const QString choices_path = exportChoicesPath(QString::fromStdString(settings_path_));
    RememberedExport remembered = loadExportChoices(choices_path);
    ExportDialogInput input;
    const std::vector<GridVariable> variables = grid_variables(tendency);
    for (const GridVariable& v : variables) input.variables << QString::fromStdString(v.name);
    if (!remembered.has_variables)  // the model's quantities, as the runner's default
        for (std::size_t v = 4; v < variables.size(); ++v)
            remembered.options.variables.push_back(variables[v].name);
    input.last = remembered.options;
    input.default_cell =
        QString::fromStdString(format_general(state_.index.cell_size(), decimal_separator_));
    input.decimal_separator = decimal_separator_;
    const std::optional<ExportOptions> chosen = export_prompt_->chooseExport(input);
    if (!chosen) return;
    saveExportChoices(choices_path, *chosen);

    const std::vector<std::string> inputs = {data_settings_.input_file, data_settings_.output_file,
                                             data_settings_.subset_file, data_settings_.trace_file,
                                             settings_path_};
    const ExportPlanResult planned =
        plan_export(*chosen, tendency, data_settings_.output_file, inputs);
    if (!planned.plan) {
        showGeneralError(QString::fromStdString(planned.error));
        return;
    }
    // As during a run, Stop cancels between grid columns (nothing is left behind).
    setRunning(true);
    ExportResult result;
    {
        WindowMonitor monitor(*this);
        const BusyCursor busy;
        ExportSource source;
        source.state = &state_;
        source.search_radius = data_settings_.search_radius;
        source.grid_radius = data_settings_.grid_radius;
        source.threads = threads_;
        result = run_export(*planned.plan, source, monitor);
    }
    stop_requested_ = false;
    setRunning(false);
    if (close_pending_) {
        close();
        return;
    }
    if (result.outcome != ExportOutcome::Written) return;
    QString done = QStringLiteral("Exported %1 files into %2.")
                       .arg(result.files.size())
                       .arg(QString::fromStdString(chosen->folder));
    if (planned.plan->crs_wkt.empty())
        done += QStringLiteral(" No coordinate system was given: the files carry none.");
    prompts_->message(done, QStringLiteral("Orvane"));
}
