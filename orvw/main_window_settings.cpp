// ReadCfg and FormClose: the window's controls from and to the settings file.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "orvw/main_window.h"
#include "engine/fit/trend_model.h"
#include "engine/points/number_text.h"
#include "orvw/widgets/radio_group.h"
#include "settings/settings_file.h"
#include "settings/settings_values.h"
#include "orvw/widgets/up_down.h"

void TfrmMain::ReadCfg() {
    if (settings_path_.empty()) settings_path_ = settings_file_path();
    if (!settings_path_.empty()) {
        switch (read_settings_file(settings_path_, block_)) {
        case SettingsReadStatus::NoFile:
            break;
        case SettingsReadStatus::Failed:
            prompts_->message(QStringLiteral("Error by read config file - use default"),
                              QStringLiteral("Eror"));
            break;
        case SettingsReadStatus::Read:
            applySettingsValues(settings_values_from(block_));
            break;
        }
    }
    clearPreviews();
}

// In the order the file's fields are restored: the result lists take their stored
// positions before the tendency rule bounds them.
void TfrmMain::applySettingsValues(const SettingsValues& values) {
    const auto general = [this](double value) {
        return QString::fromStdString(format_general(value, decimal_separator_));
    };
    txt_in->setText(QString::fromStdString(values.txt_in));
    txt_out->setText(QString::fromStdString(values.txt_out));
    txt_radius->setText(general(values.txt_radius));
    txt_nearest->setText(general(values.txt_nearest));
    up1->setPosition(values.txt_iter);
    cb_iter->setCurrentIndex(values.cb_iter);
    cb_preview->setChecked(values.cb_preview);
    cb1->setCurrentIndex(values.cb1);
    cb2->setCurrentIndex(values.cb2);
    cb3->setCurrentIndex(values.cb3);
    cmb_point->setCurrentIndex(values.cmb_point);
    cmb_gx->setCurrentIndex(values.cmb_gx);
    cmb_gy->setCurrentIndex(values.cmb_gy);
    cmb_gz->setCurrentIndex(values.cmb_gz);
    cmb_uba->setCurrentIndex(values.cmb_uba);
    txt_log->setText(QString::fromStdString(values.txt_log));
    cmb_centerx->setCurrentIndex(values.cmb_centerx);
    cmb_centery->setCurrentIndex(values.cmb_centery);
    cmb_centerz->setCurrentIndex(values.cmb_centerz);
    cmb_centeru->setCurrentIndex(values.cmb_centeru);
    alpha_ = values.txt_alpha;
    txt_alpha->setText(general(alpha_));
    chb_cpin->setChecked(values.chb_cpin);
    rg_tendencies->setItemIndex(values.rg_tendencies);
    if (const std::optional<Tendency> tendency = tendency_at(values.rg_tendencies))
        applyTendencyRule(*tendency);
    rg_method->setItemIndex(values.rg_method);
    txt_threshold->setText(general(values.txt_threshold));
    txt_npoints->setText(QString::number(values.txt_npoints));
    rg_search->setItemIndex(values.rg_search);
}

// One reading of the controls for the settings file and for a run, in the file's field
// order. txt_alpha is the alpha of the last run (alpha_): its field may hold an edit no
// run has taken yet. A number field whose text does not convert keeps the record's
// default value and is listed in what is returned.
std::vector<QLineEdit*> TfrmMain::readControls(SettingsValues& values) const {
    std::vector<QLineEdit*> unreadable;
    const auto real = [&](QLineEdit* field, double& out) {
        const auto value = parse_double(field->text().toStdString(), decimal_separator_);
        if (value)
            out = *value;
        else
            unreadable.push_back(field);
    };
    const auto integer = [&](QLineEdit* field, int& out) {
        const auto value = parse_int(field->text().toStdString());
        if (value)
            out = *value;
        else
            unreadable.push_back(field);
    };
    values.txt_in = txt_in->text().toStdString();
    values.txt_out = txt_out->text().toStdString();
    real(txt_radius, values.txt_radius);
    real(txt_nearest, values.txt_nearest);
    integer(txt_iter, values.txt_iter);
    values.cb_iter = cb_iter->currentIndex();
    values.cb_preview = cb_preview->isChecked();
    values.cb1 = cb1->currentIndex();
    values.cb2 = cb2->currentIndex();
    values.cb3 = cb3->currentIndex();
    values.cmb_point = cmb_point->currentIndex();
    values.cmb_gx = cmb_gx->currentIndex();
    values.cmb_gy = cmb_gy->currentIndex();
    values.cmb_gz = cmb_gz->currentIndex();
    values.cmb_uba = cmb_uba->currentIndex();
    values.txt_log = txt_log->text().toStdString();
    values.cmb_centerx = cmb_centerx->currentIndex();
    values.cmb_centery = cmb_centery->currentIndex();
    values.cmb_centerz = cmb_centerz->currentIndex();
    values.cmb_centeru = cmb_centeru->currentIndex();
    values.txt_alpha = alpha_;
    values.chb_cpin = chb_cpin->isChecked();
    values.rg_tendencies = rg_tendencies->itemIndex();
    values.rg_method = rg_method->itemIndex();
    real(txt_threshold, values.txt_threshold);
    integer(txt_npoints, values.txt_npoints);
    values.rg_search = rg_search->itemIndex();
    return unreadable;
}

void TfrmMain::FormClose() {
    pending_check_ = nullptr;
    state_.results_ready = false;
    state_.points.clear();
    state_.index.clear();

    // Every value is converted before the file is opened, so a bad field leaves the
    // previous file as it was.
    SettingsValues values;
    bool ok = readControls(values).empty();
    if (ok) ok = store_settings_values(values, block_).ok;
    if (ok) ok = write_settings_file(settings_path_, block_).ok;
    if (!ok)
        prompts_->message(QStringLiteral("Error by save config file"), QStringLiteral("Eror"));
}
