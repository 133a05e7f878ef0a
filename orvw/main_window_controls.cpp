// The form as designed: every control at its place, with caption, items, default and
// hint. Labels are sized to their text and set beside their field.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "orvw/widgets/emblem.h"
#include "orvw/main_window.h"
#include "engine/fit/trend_model.h"
#include "engine/points/number_text.h"
#include "orvw/widgets/preview_picture.h"
#include "orvw/widgets/radio_group.h"
#include "orvw/widgets/up_down.h"

namespace {

const QStringList CENTERING_ITEMS = {QStringLiteral("Not center"),
                                     QStringLiteral("Center to mean of search area"),
                                     QStringLiteral("Center to point of calc")};

// The design-time entries of the second and third preview lists, kept in the record of
// the NTE/FAY model, whose tendency rule leaves them; any other tendency's rule replaces
// them.
QStringList designResultItems() {
    QStringList items;
    for (const PreviewEntry& entry : trend_model(Tendency::Linear3x3NteFay).result_list)
        items << QString::fromLatin1(entry.text);
    return items;
}

QStringList columnLetters() {
    QStringList letters;
    for (char c = 'A'; c <= 'Z'; ++c) letters << QString(QLatin1Char(c));
    return letters;
}

template <typename W>
W* placed(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLineEdit* edit(QWidget* parent, const char* name, int left, int top, int width, int height) {
    return placed(new QLineEdit(parent), name, left, top, width, height);
}

QPushButton* button(QWidget* parent, const QString& caption, const char* name, int left, int top,
                    int width, int height) {
    return placed(new QPushButton(caption, parent), name, left, top, width, height);
}

QComboBox* list(QWidget* parent, const QStringList& items, const char* name, int left, int top,
                int width, int height) {
    auto* combo = placed(new QComboBox(parent), name, left, top, width, height);
    combo->addItems(items);
    return combo;
}

}  // namespace

// A label right-aligned to end just before its buddy, centred on its height.
QLabel* TfrmMain::labelBeside(QWidget* buddy, const QString& text, const char* name) {
    auto* label = new QLabel(text, buddy->parentWidget());
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    const QSize size = label->sizeHint();
    const QRect target = buddy->geometry();
    label->setGeometry(target.left() - 3 - size.width(),
                       target.top() + (target.height() - size.height()) / 2, size.width(),
                       size.height());
    return label;
}

void TfrmMain::createControls() {
    createFileControls();
    createColumnGroup();
    createSearchControls();
    createModelControls();
    createPreviewControls();

    img_emblem = placed(new QLabel(this), "img_emblem", 568, 8, 101, 101);
    img_emblem->setPixmap(drawEmblem(101));
}

void TfrmMain::createFileControls() {
    txt_in = edit(this, "txt_in", 184, 8, 337, 21);
    txt_in->setToolTip(QStringLiteral("Data must contain x, y, h, cba"));
    labelBeside(txt_in, QStringLiteral("Name of input file [dat,xyz] "), "lbl_in");
    btn_in = button(this, QStringLiteral("..."), "btn_in", 528, 8, 25, 21);
    btn_in->setToolTip(QStringLiteral("Show input dialog for data"));

    txt_log = edit(this, "txt_log", 184, 79, 340, 21);
    txt_log->setToolTip(
        QStringLiteral("Optional Subset of input file for detail trace calculation "));
    labelBeside(txt_log, QStringLiteral("Name of subset input file "), "lbl_log");
    btn_log = button(this, QStringLiteral("..."), "btn_log", 528, 80, 25, 21);

    // The caption stands left of the box.
    chb_cpin = placed(new QCheckBox(QStringLiteral("Point of calculation IN"), this), "chb_cpin",
                      16, 107, 185, 17);
    chb_cpin->setLayoutDirection(Qt::RightToLeft);

    txt_out = edit(this, "txt_out", 181, 130, 343, 21);
    txt_out->setToolTip(
        QStringLiteral("(x, y, point, h, cba, xgg, ygg, hgg,vgg, regta, delta, A(x,z) )"));
    labelBeside(txt_out, QStringLiteral("Name of output file [.dat,.xyz] "), "lbl_out");
    btn_out = button(this, QStringLiteral("..."), "btn_out", 530, 130, 25, 21);
    btn_out->setToolTip(QStringLiteral("Show save dialog for output data"));
}

// Five letter lists in one group box, the space between the pairs shared evenly.
void TfrmMain::createColumnGroup() {
    auto* group = placed(new QGroupBox(QStringLiteral("Columns for"), this), "grp_columns", 16,
                         32, 505, 41);
    const QStringList letters = columnLetters();
    struct Column {
        QComboBox** combo;
        const char* name;
        const char* label_name;
        QString label;
        int selected;
    };
    const Column columns[] = {
        {&cmb_gx, "cmb_gx", "lbl_gx", QStringLiteral("X coord."), 0},
        {&cmb_gy, "cmb_gy", "lbl_gy", QStringLiteral("Y coord."), 1},
        {&cmb_point, "cmb_point", "lbl_point", QStringLiteral("Point "), 2},
        {&cmb_gz, "cmb_gz", "lbl_gz", QStringLiteral("Height/NTE"), 3},
        {&cmb_uba, "cmb_uba", "lbl_uba", QStringLiteral("CBA/FAY"), 4},
    };
    // Below the caption, inside the frame the style draws under it.
    const int height = 21;
    const int top = group->height() - height - 3;
    std::vector<QLabel*> labels;
    int used = 0;
    for (const Column& column : columns) {
        auto* combo = list(group, letters, column.name, 0, top, 0, height);
        combo->setCurrentIndex(column.selected);
        combo->resize(combo->sizeHint().width(), height);
        *column.combo = combo;
        auto* label = new QLabel(column.label, group);
        label->setObjectName(QLatin1String(column.label_name));
        label->setBuddy(combo);
        label->resize(label->sizeHint());
        labels.push_back(label);
        used += label->width() + 3 + combo->width();
    }
    const int margin = 8;
    const int count = static_cast<int>(std::size(columns));
    const int gap = qMax(4, (group->width() - 2 * margin - used) / (count - 1));
    int x = margin;
    for (int i = 0; i < count; ++i) {
        QLabel* label = labels[static_cast<std::size_t>(i)];
        QComboBox* combo = *columns[i].combo;
        label->move(x, top + (height - label->height()) / 2);
        x += label->width() + 3;
        combo->move(x, top);
        x += combo->width() + gap;
    }
}

void TfrmMain::createSearchControls() {
    txt_radius = edit(this, "txt_radius", 181, 157, 90, 21);
    txt_radius->setToolTip(QStringLiteral("Search radius for point of calculation"));
    labelBeside(txt_radius, QStringLiteral("Radius for search [m]"), "lbl_radius");

    txt_npoints = edit(this, "txt_npoints", 420, 154, 104, 21);
    labelBeside(txt_npoints, QStringLiteral("N nearest points"), "lbl_npoints");

    rg_search = placed(new RadioGroup(QStringLiteral("Searching"),
                                      {QStringLiteral("Radius"), QStringLiteral("N nearest pt.")},
                                      1, this),
                       "rg_search", 348, 181, 98, 65);

    txt_iter = edit(this, "txt_iter", 181, 184, 73, 21);
    txt_iter->setToolTip(QStringLiteral("Number of iteration for selected object"));
    labelBeside(txt_iter, QStringLiteral("Number of iterations (0 .. 10000)"), "lbl_iter");
    up1 = placed(new UpDown(txt_iter, 0, 10000, this), "up1", 254, 184, 17, 21);
    up1->setPosition(0);

    cb_iter = list(this, {QStringLiteral("RGA"), QStringLiteral("LGA")}, "cb_iter", 181, 208, 90,
                   21);
    cb_iter->setCurrentIndex(0);
    cb_iter->setEnabled(false);
    cb_iter->setToolTip(QStringLiteral("Select object for iteration greater then 0"));
    labelBeside(cb_iter, QStringLiteral("Object of higher iteration"), "lbl_iter_object");

    struct Centering {
        QComboBox** combo;
        const char* name;
        const char* label_name;
        QString label;
        int selected;
    };
    const Centering centerings[] = {
        {&cmb_centerx, "cmb_centerx", "lbl_centerx", QStringLiteral("Centering X coordinate"), 2},
        {&cmb_centery, "cmb_centery", "lbl_centery", QStringLiteral("Centering Y coordinate"), 2},
        {&cmb_centerz, "cmb_centerz", "lbl_centerz", QStringLiteral("Centering Z coordinate"), 0},
        {&cmb_centeru, "cmb_centeru", "lbl_centeru", QStringLiteral("Centering UBA"), 0},
    };
    int top = 232;
    for (const Centering& centering : centerings) {
        auto* combo = list(this, CENTERING_ITEMS, centering.name, 181, top, 161, 21);
        combo->setCurrentIndex(centering.selected);
        *centering.combo = combo;
        labelBeside(combo, centering.label, centering.label_name);
        top += 27;
    }
}

void TfrmMain::createModelControls() {
    rg_tendencies = placed(
        new RadioGroup(QStringLiteral("Tendencies"),
                       {QStringLiteral("Linear  (3x3) - x, y ,z, uba"), QStringLiteral("Linear  (4x4)"),
                        QStringLiteral("Linear (6x6)"), QStringLiteral("Quadratic (10x10)"),
                        QStringLiteral("Linear  (3x3) - x, y, nte, fay")},
                       1, this),
        "rg_tendencies", 463, 181, 205, 128);
    rg_tendencies->setItemIndex(1);

    rg_method = placed(new RadioGroup(QStringLiteral("Solution of linear algebraic equations"),
                                      {QStringLiteral("Gauss-Jordan elimination"),
                                       QStringLiteral("Moore-Penrose inversion (SVD)"),
                                       QStringLiteral("Tichonov regularization")},
                                      3, this),
                       "rg_method", 16, 344, 652, 41);
    rg_method->setItemIndex(1);

    txt_threshold = edit(this, "txt_threshold", 480, 391, 73, 21);
    lbl_svd = new QLabel(QStringLiteral("Threshold for singular values (if < 0 then threshold is "
                                        "calculated other entered value is used)"),
                         this);
    lbl_svd->setObjectName(QStringLiteral("lbl_svd"));
    lbl_svd->setBuddy(txt_threshold);
    lbl_svd->setGeometry(16, 397 - 3, lbl_svd->sizeHint().width(), lbl_svd->sizeHint().height());

    txt_minalfa = edit(this, "txt_minalfa", 124, 416, 98, 21);
    labelBeside(txt_minalfa, QStringLiteral("Min. reg. par. value"), "lbl_minalfa");
    txt_maxalfa = edit(this, "txt_maxalfa", 348, 416, 98, 21);
    labelBeside(txt_maxalfa, QStringLiteral("Max. reg. par value"), "lbl_maxalfa");
    txt_seqquot = edit(this, "txt_seqquot", 587, 416, 81, 21);
    labelBeside(txt_seqquot, QStringLiteral("Sequence quotient"), "lbl_seqquot");
    for (QLineEdit* field : {txt_minalfa, txt_maxalfa, txt_seqquot}) field->setEnabled(false);

    // The correction coefficient is kept and stored, but never shown.
    txt_alpha = edit(this, "txt_alpha", 484, 318, 73, 21);
    lbl_alpha = labelBeside(txt_alpha, QStringLiteral("Correction coefficient alpha"), "lbl_alpha");
    txt_alpha->hide();
    lbl_alpha->hide();
}

void TfrmMain::createPreviewControls() {
    ProgressBar1 = placed(new QProgressBar(this), "ProgressBar1", 181, 443, 376, 17);
    ProgressBar1->setRange(0, 10000);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    labelBeside(ProgressBar1, QStringLiteral("Calc progress"), "lbl_progress");

    cb_preview = placed(new QCheckBox(QStringLiteral("Preview grids"), this), "cb_preview", 20,
                        475, 89, 17);
    cb_preview->resize(qMax(89, cb_preview->sizeHint().width()), 17);
    cb_preview->setToolTip(
        QStringLiteral("If checked then calc and show grids for selected variables."));

    txt_nearest = edit(this, "txt_nearest", 228, 467, 89, 21);
    txt_nearest->setToolTip(
        QStringLiteral("If 0 then radius for gridding  is equal to radius for search"));
    QLabel* nearest_label =
        labelBeside(txt_nearest, QStringLiteral("Radius for gridding [m]"), "lbl_nearest");
    // The check box to the left needs its whole caption; one pixel to the field is enough.
    nearest_label->move(txt_nearest->x() - 1 - nearest_label->width(), nearest_label->y());

    btn_load = button(this, QStringLiteral("&Load"), "btn_load", 324, 467, 73, 25);
    btn_load->setToolTip(QStringLiteral("Load calculated Orvane files"));
    btn_calc = button(this, QStringLiteral("&Calc"), "btn_calc", 404, 467, 73, 25);
    btn_calc->setToolTip(QStringLiteral("Calc gradients and save results to output file."));
    btn_exit = button(this, QStringLiteral("&Exit"), "btn_exit", 484, 467, 73, 25);
    btn_exit->setToolTip(QStringLiteral("Save setting and Exit program."));
    btn_stop = button(this, QStringLiteral("&Stop"), "btn_stop", 484, 467, 73, 25);
    btn_stop->hide();

    const QString list_hint = QStringLiteral("Select variable for gridding.");
    const QString save_hint = QStringLiteral("Save grid as bitmap.");
    cb1 = list(this, {QStringLiteral("HEIGHT"), QStringLiteral("CBA")}, "cb1", 12, 499, 89, 21);
    cb1->setCurrentIndex(1);
    btn_save1 = button(this, QStringLiteral("&Save"), "btn_save1", 148, 499, 41, 21);
    cb2 = list(this, designResultItems(), "cb2", 196, 499, 97, 21);
    cb2->setCurrentIndex(0);
    btn_save2 = button(this, QStringLiteral("S&ave"), "btn_save2", 332, 499, 41, 21);
    cb3 = list(this, designResultItems(), "cb3", 380, 499, 97, 21);
    cb3->setCurrentIndex(1);
    btn_save3 = button(this, QStringLiteral("Sa&ve"), "btn_save3", 516, 499, 41, 21);
    for (QComboBox* combo : {cb1, cb2, cb3}) combo->setToolTip(list_hint);
    for (QComboBox* combo : {cb2, cb3}) combo->setMaxVisibleItems(10);
    for (QPushButton* save : {btn_save1, btn_save2, btn_save3}) save->setToolTip(save_hint);

    img_uba = placed(new PreviewPicture(177, 145, this), "img_uba", 12, 523, 177, 145);
    img_regta = placed(new PreviewPicture(177, 145, this), "img_regta", 196, 523, 177, 145);
    img_delta = placed(new PreviewPicture(177, 145, this), "img_delta", 380, 523, 177, 145);
}

// Creation values the window sets itself after the design-time ones.
void TfrmMain::setCreationValues() {
    image_width_ = img_uba->width();
    image_height_ = img_uba->height();
    state_.results_ready = false;
    alpha_ = 0.01;
    const auto general = [this](double value) {
        return QString::fromStdString(format_general(value, decimal_separator_));
    };
    txt_alpha->setText(general(alpha_));
    txt_threshold->setText(general(-1.0));
    txt_minalfa->setText(general(1e-10));
    txt_maxalfa->setText(general(1e10));
    txt_seqquot->setText(general(2.0));
    txt_radius->setText(QStringLiteral("0"));
    txt_nearest->setText(QStringLiteral("0"));
    txt_npoints->setText(QStringLiteral("10"));
    rg_search->setItemIndex(0);
}

// Tab order of the form; a group is entered at its items.
void TfrmMain::setTabOrderOfForm() {
    std::vector<QWidget*> order = {txt_in, btn_in, cmb_gx, cmb_gy, cmb_point, cmb_gz, cmb_uba,
                                   txt_log, btn_log, txt_out, btn_out, txt_radius, txt_iter, up1,
                                   cb_iter, cmb_centerx, cmb_centery, cmb_centerz, cmb_centeru,
                                   ProgressBar1, cb_preview, txt_nearest, btn_load, btn_calc,
                                   btn_exit, cb1, btn_save1, cb2, btn_save2, cb3, btn_save3,
                                   btn_stop, txt_alpha, chb_cpin};
    for (RadioGroup* group : {rg_tendencies, rg_method})
        for (int i = 0; i < group->count(); ++i) order.push_back(group->button(i));
    for (QWidget* field : {txt_threshold, txt_minalfa, txt_maxalfa, txt_seqquot, txt_npoints})
        order.push_back(field);
    for (int i = 0; i < rg_search->count(); ++i) order.push_back(rg_search->button(i));
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}
