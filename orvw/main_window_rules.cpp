// The rules that relabel, enable and hide controls, and the checks made when the user
// leaves a numeric field.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "orvw/main_window.h"
#include "engine/fit/trend_model.h"
#include "engine/points/number_text.h"
#include "orvw/widgets/radio_group.h"
#include "orvw/widgets/up_down.h"

void TfrmMain::rg_tendenciesClick() {
    if (const std::optional<Tendency> tendency = tendency_at(rg_tendencies->itemIndex()))
        applyTendencyRule(*tendency);
}

// Refills the result lists for the tendency; a model that does not refill them (the
// NTE/FAY one) leaves lists, positions and iteration controls as they are.
void TfrmMain::applyTendencyRule(Tendency tendency) {
    const TrendModel& model = trend_model(tendency);
    if (!model.refills_lists) return;
    QStringList entries;
    for (const PreviewEntry& entry : model.result_list) entries << QString::fromLatin1(entry.text);
    for (QComboBox* combo : {cb2, cb3}) {
        const int old_position = combo->currentIndex();
        combo->clear();
        combo->addItems(entries);
        combo->setCurrentIndex(old_position <= model.keep_bound ? old_position : 0);
    }
    if (!model.iterations) up1->setPosition(0);
    up1->setEnabled(model.iterations);
    txt_iter->setEnabled(model.iterations);
}

// SVD leaves the regularisation fields disabled as at start: they only serve Tichonov.
void TfrmMain::rg_methodClick() {
    const int method = rg_method->itemIndex();
    if (method < 0) return;
    const bool threshold = method != 0;
    lbl_svd->setVisible(threshold);
    txt_threshold->setVisible(threshold);
    if (method == 1)
        lbl_svd->setText(QStringLiteral("Threshold for singular values (if < 0 then threshold "
                                        "is calculated other entered value is used)"));
    if (method == 2)
        lbl_svd->setText(QStringLiteral("Regularization parameter alpha (if < 0 then alpha is "
                                        "calculated other entered value is used)"));
    lbl_svd->resize(lbl_svd->sizeHint());
    for (QLineEdit* field : {txt_minalfa, txt_maxalfa, txt_seqquot}) field->setEnabled(method == 2);
}

void TfrmMain::failField(QLineEdit* field, const QString& text) {
    prompts_->message(text, QStringLiteral("Error"));
    field->setFocus(Qt::OtherFocusReason);
}

bool TfrmMain::CheckNumber(QLineEdit* field) {
    const QString text = field->text();
    if (text.isEmpty()) {
        failField(field, QStringLiteral("Parameter is required"));
        return false;
    }
    if (!parse_double(text.toStdString(), decimal_separator_)) {
        failField(field, text + QStringLiteral(" Is not a number"));
        return false;
    }
    return true;
}

bool TfrmMain::txt_iterExit() {
    const QString text = txt_iter->text();
    if (text.isEmpty()) {
        failField(txt_iter, QStringLiteral("Parameter is required"));
        return false;
    }
    const auto value = parse_int(text.toStdString());
    if (!value) {
        failField(txt_iter, text + QStringLiteral(" Is not a number"));
        return false;
    }
    if (*value < 0 || *value > 10000) {
        failField(txt_iter, QStringLiteral("Number of iteration must be in range 0 .. 10000"));
        return false;
    }
    return true;
}

// While a check's box is up or the focus is being handed back, focus changes are the
// check's own doing: checking them would let two bad fields pass the focus (and a box)
// back and forth for ever.
bool TfrmMain::runFieldCheck(QLineEdit* field) {
    in_field_check_ = true;
    const bool ok = field == txt_iter ? txt_iterExit() : CheckNumber(field);
    in_field_check_ = false;
    return ok;
}

void TfrmMain::scheduleFieldCheck(QLineEdit* field) {
    if (!field || in_field_check_ || pending_check_ || !field->isEnabled()) return;
    pending_check_ = field;
    QTimer::singleShot(0, this, [this] { runPendingFieldCheck(); });
}

// False when a pending check failed (its message shown, the focus back in its field).
bool TfrmMain::runPendingFieldCheck() {
    QLineEdit* field = pending_check_;
    pending_check_ = nullptr;
    if (!field) return true;
    return runFieldCheck(field);
}
