// "&Calc": the checks before a run, the settings captured once, and the buttons around
// the run.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <exception>
#include <vector>

#include "orvw/busy_cursor_gridder.h"
#include "orvw/main_window.h"
#include "engine/points/number_text.h"
#include "orvgrid/preview_set.h"
#include "orvw/widgets/radio_group.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "orvw/window_monitor.h"
#include "settings/settings_values.h"

namespace {

// The conversion errors a Calc ends with, shown in the general error box.
QString notFloatText(const QString& text) {
    return QStringLiteral("'%1' cannot be read as a number").arg(text);
}

QString notIntegerText(const QString& text) {
    return QStringLiteral("'%1' cannot be read as a whole number").arg(text);
}

}  // namespace

QLineEdit* TfrmMain::controlOf(CheckedField field) const {
    switch (field) {
        case CheckedField::InputFile:
            return txt_in;
        case CheckedField::OutputFile:
            return txt_out;
        case CheckedField::SubsetFile:
            return txt_log;
        case CheckedField::SearchRadius:
            return txt_radius;
        case CheckedField::NearestCount:
            return txt_npoints;
        case CheckedField::MinAlpha:
            return txt_minalfa;
        case CheckedField::MaxAlpha:
            return txt_maxalfa;
        case CheckedField::SequenceQuotient:
            return txt_seqquot;
    }
    return nullptr;
}

void TfrmMain::failCheck(const CheckFailure& failure) {
    prompts_->message(QString::fromStdString(failure.message), QStringLiteral("Orvane"));
    if (QLineEdit* control = controlOf(failure.field)) control->setFocus(Qt::OtherFocusReason);
}

void TfrmMain::showGeneralError(const QString& text) {
    prompts_->message(text, QStringLiteral("Orvane"));
}

// Everything a run needs, read from the controls at this one moment. False when a check
// failed or a field does not convert (message shown, focus set where the check says).
bool TfrmMain::captureRunSettings(RunSettings& settings) {
    SettingsValues values;
    const std::vector<QLineEdit*> unreadable = readControls(values);
    if (auto failure = check_file_names(values.txt_in, values.txt_out)) {
        failCheck(*failure);
        return false;
    }
    // The conversion failures are reported one at a time, in the order below.
    const auto converted = [&](QLineEdit* field, QString (*error_text)(const QString&)) {
        if (std::find(unreadable.begin(), unreadable.end(), field) == unreadable.end()) return true;
        showGeneralError(error_text(field->text()));
        return false;
    };
    // The fields whose text a run reads but the settings file does not keep.
    const auto real = [this](QLineEdit* field, double& out) {
        const auto value = parse_double(field->text().toStdString(), decimal_separator_);
        if (!value) {
            showGeneralError(notFloatText(field->text()));
            return false;
        }
        out = *value;
        return true;
    };

    if (!converted(txt_radius, notFloatText)) return false;
    if (auto failure = check_search_radius(values.txt_radius)) {
        failCheck(*failure);
        return false;
    }
    double alpha = 0.0;
    if (!real(txt_alpha, alpha)) return false;
    alpha_ = alpha;
    if (!converted(txt_iter, notIntegerText)) return false;
    // The arrows keep the count within 0..10000; typed text must keep it there too.
    if (values.txt_iter < 0 || values.txt_iter > 10000) {
        failField(txt_iter, QStringLiteral("Number of iteration must be in range 0 .. 10000"));
        return false;
    }
    if (!converted(txt_nearest, notFloatText) || !converted(txt_threshold, notFloatText) ||
        !converted(txt_npoints, notIntegerText))
        return false;
    if (!real(txt_minalfa, settings.min_alpha) || !real(txt_maxalfa, settings.max_alpha) ||
        !real(txt_seqquot, settings.sequence_quotient))
        return false;

    // A list without a selection (from a damaged settings file) has no value to run with.
    struct Choice {
        QWidget* control;
        int index;
        int count;
    };
    const Choice choices[] = {
        {cmb_gx, values.cmb_gx, 26},
        {cmb_gy, values.cmb_gy, 26},
        {cmb_point, values.cmb_point, 26},
        {cmb_gz, values.cmb_gz, 26},
        {cmb_uba, values.cmb_uba, 26},
        {cb_iter, values.cb_iter, 2},
        {rg_tendencies, values.rg_tendencies, 5},
        {rg_method, values.rg_method, 3},
        {rg_search, values.rg_search, 2},
        {cmb_centerx, values.cmb_centerx, 3},
        {cmb_centery, values.cmb_centery, 3},
        {cmb_centerz, values.cmb_centerz, 3},
        {cmb_centeru, values.cmb_centeru, 3},
    };
    for (const Choice& choice : choices) {
        if (choice.index < 0 || choice.index >= choice.count) {
            showGeneralError(QStringLiteral("No valid entry (%1) is selected in %2")
                                 .arg(choice.index)
                                 .arg(choice.control->objectName()));
            return false;
        }
    }
    apply_settings_values(values, settings);
    // Where a run from the window differs from one from a settings file: the alpha is the
    // field's, just taken; a preview list without a selection (-1) reaches the run as it
    // is, and the run says that its slot has no variable.
    settings.alpha = alpha;
    settings.preview_var1 = values.cb1;
    settings.preview_var2 = values.cb2;
    settings.preview_var3 = values.cb3;
    settings.trace_file = derive_trace_file(values.txt_in);
    settings.cell_size = 0.1 * settings.search_radius;
    if (settings.grid_radius < 1e-6) settings.grid_radius = settings.search_radius;
    settings.decimal_separator = decimal_separator_;
    settings.threads = threads_;

    if (auto failure = check_run_limits(settings)) {
        failCheck(*failure);
        return false;
    }
    return true;
}

void TfrmMain::setRunning(bool running) {
    busy_ = running;
    btn_calc->setEnabled(!running);
    btn_exit->setVisible(!running);
    btn_stop->setVisible(running);
}

void TfrmMain::btn_calcClick() {
    if (busy_) return;
    // A field left just before the click is checked first, as leaving it would have.
    if (!runPendingFieldCheck()) return;
    RunSettings settings;
    if (!captureRunSettings(settings)) return;

    setRunning(true);
    pointsReplaced(txt_in->text());
    data_settings_ = settings;
    WindowMonitor monitor(*this);
    BusyCursorGridder gridder(*previews_);
    try {
        run_calculation(settings, state_, monitor, &gridder);
    } catch (const std::exception& error) {
        showGeneralError(QString::fromLocal8Bit(error.what()));
    }
    stop_requested_ = false;
    setRunning(false);
    if (close_pending_) close();
}
