// The form as designed: every control by name, kind, place, caption, default, items and
// hint; nothing clipped or overlapping; the tab order.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QtTest>

#include "orvw/widgets/preview_picture.h"
#include "orvw/widgets/radio_group.h"
#include "orvw/widgets/up_down.h"
#include "tests/orvw/window_fixture.h"

namespace {

struct Placed {
    const char* name;
    const char* kind;
    QRect geometry;
    const char* caption;  // text, title or caption; nullptr: not checked
    const char* hint;     // "" for none
};

// Positions and sizes as designed; cb_preview may grow to hold its caption.
const Placed CONTROLS[] = {
    {"txt_in", "QLineEdit", {184, 8, 337, 21}, "", "Data must contain x, y, h, cba"},
    {"btn_in", "QPushButton", {528, 8, 25, 21}, "...", "Show input dialog for data"},
    {"txt_log", "QLineEdit", {184, 79, 340, 21}, "",
     "Optional Subset of input file for detail trace calculation "},
    {"btn_log", "QPushButton", {528, 80, 25, 21}, "...", ""},
    {"chb_cpin", "QCheckBox", {16, 107, 185, 17}, "Point of calculation IN", ""},
    {"txt_out", "QLineEdit", {181, 130, 343, 21}, "",
     "(x, y, point, h, cba, xgg, ygg, hgg,vgg, regta, delta, A(x,z) )"},
    {"btn_out", "QPushButton", {530, 130, 25, 21}, "...", "Show save dialog for output data"},
    {"grp_columns", "QGroupBox", {16, 32, 505, 41}, "Columns for", ""},
    {"txt_radius", "QLineEdit", {181, 157, 90, 21}, "0", "Search radius for point of calculation"},
    {"txt_npoints", "QLineEdit", {420, 154, 104, 21}, "10", ""},
    {"rg_search", "RadioGroup", {348, 181, 98, 65}, "Searching", ""},
    {"txt_iter", "QLineEdit", {181, 184, 73, 21}, "0", "Number of iteration for selected object"},
    {"up1", "UpDown", {254, 184, 17, 21}, nullptr, ""},
    {"cb_iter", "QComboBox", {181, 208, 90, 21}, "RGA", "Select object for iteration greater then 0"},
    {"rg_tendencies", "RadioGroup", {463, 181, 205, 128}, "Tendencies", ""},
    {"rg_method", "RadioGroup", {16, 344, 652, 41}, "Solution of linear algebraic equations", ""},
    {"txt_threshold", "QLineEdit", {480, 391, 73, 21}, "-1", ""},
    {"txt_minalfa", "QLineEdit", {124, 416, 98, 21}, "1E-10", ""},
    {"txt_maxalfa", "QLineEdit", {348, 416, 98, 21}, "10000000000", ""},
    {"txt_seqquot", "QLineEdit", {587, 416, 81, 21}, "2", ""},
    {"txt_alpha", "QLineEdit", {484, 318, 73, 21}, "0.01", ""},
    {"ProgressBar1", "QProgressBar", {181, 443, 376, 17}, nullptr, ""},
    {"cb_preview", "QCheckBox", {20, 475, 89, 17}, "Preview grids",
     "If checked then calc and show grids for selected variables."},
    {"txt_nearest", "QLineEdit", {228, 467, 89, 21}, "0",
     "If 0 then radius for gridding  is equal to radius for search"},
    {"btn_load", "QPushButton", {324, 467, 73, 25}, "&Load", "Load calculated Orvane files"},
    {"btn_calc", "QPushButton", {404, 467, 73, 25}, "&Calc",
     "Calc gradients and save results to output file."},
    {"btn_exit", "QPushButton", {484, 467, 73, 25}, "&Exit", "Save setting and Exit program."},
    {"btn_stop", "QPushButton", {484, 467, 73, 25}, "&Stop", ""},
    {"cb1", "QComboBox", {12, 499, 89, 21}, "CBA", "Select variable for gridding."},
    {"btn_save1", "QPushButton", {148, 499, 41, 21}, "&Save", "Save grid as bitmap."},
    {"cb2", "QComboBox", {196, 499, 97, 21}, "HGGAX/GAX", "Select variable for gridding."},
    {"btn_save2", "QPushButton", {332, 499, 41, 21}, "S&ave", "Save grid as bitmap."},
    {"cb3", "QComboBox", {380, 499, 97, 21}, "HGGAY/GAY", "Select variable for gridding."},
    {"btn_save3", "QPushButton", {516, 499, 41, 21}, "Sa&ve", "Save grid as bitmap."},
    {"img_uba", "PreviewPicture", {12, 523, 177, 145}, nullptr, ""},
    {"img_regta", "PreviewPicture", {196, 523, 177, 145}, nullptr, ""},
    {"img_delta", "PreviewPicture", {380, 523, 177, 145}, nullptr, ""},
    {"img_emblem", "QLabel", {568, 8, 101, 101}, nullptr, ""},
};

struct Labelled {
    const char* label;
    const char* buddy;
    const char* text;
};

const Labelled LABELS[] = {
    {"lbl_in", "txt_in", "Name of input file [dat,xyz] "},
    {"lbl_log", "txt_log", "Name of subset input file "},
    {"lbl_out", "txt_out", "Name of output file [.dat,.xyz] "},
    {"lbl_gx", "cmb_gx", "X coord."},
    {"lbl_gy", "cmb_gy", "Y coord."},
    {"lbl_point", "cmb_point", "Point "},
    {"lbl_gz", "cmb_gz", "Height/NTE"},
    {"lbl_uba", "cmb_uba", "CBA/FAY"},
    {"lbl_radius", "txt_radius", "Radius for search [m]"},
    {"lbl_npoints", "txt_npoints", "N nearest points"},
    {"lbl_iter", "txt_iter", "Number of iterations (0 .. 10000)"},
    {"lbl_iter_object", "cb_iter", "Object of higher iteration"},
    {"lbl_centerx", "cmb_centerx", "Centering X coordinate"},
    {"lbl_centery", "cmb_centery", "Centering Y coordinate"},
    {"lbl_centerz", "cmb_centerz", "Centering Z coordinate"},
    {"lbl_centeru", "cmb_centeru", "Centering UBA"},
    {"lbl_svd", "txt_threshold",
     "Threshold for singular values (if < 0 then threshold is calculated other entered value "
     "is used)"},
    {"lbl_minalfa", "txt_minalfa", "Min. reg. par. value"},
    {"lbl_maxalfa", "txt_maxalfa", "Max. reg. par value"},
    {"lbl_seqquot", "txt_seqquot", "Sequence quotient"},
    {"lbl_alpha", "txt_alpha", "Correction coefficient alpha"},
    {"lbl_progress", "ProgressBar1", "Calc progress"},
    {"lbl_nearest", "txt_nearest", "Radius for gridding [m]"},
};

QString captionOf(QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
    return {};
}

QStringList itemsOf(QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

QStringList letters() {
    QStringList all;
    for (char c = 'A'; c <= 'Z'; ++c) all << QString(QLatin1Char(c));
    return all;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void window_is_fixed_676_square_titled_orvane();
    void every_control_has_its_place_caption_and_hint();
    void lists_hold_their_items_and_defaults();
    void radio_groups_hold_their_items_and_defaults();
    void labels_stand_beside_their_fields();
    void creation_state_hides_and_disables_as_designed();
    void nothing_is_clipped_or_overlapping();
    void tab_order_follows_the_form();
    void pictures_start_cleared();
    void radio_items_lie_inside_their_frame();
    void iteration_arrows_show_focus_and_keys_step_the_field();
    void window_stays_reachable_on_small_screens();
};

// Inside the rectangle the style leaves for contents: not over the caption or the line.
void MainWindowTest::radio_items_lie_inside_their_frame() {
    WindowFixture f;
    f.window->show();
    for (const char* name : {"rg_tendencies", "rg_method", "rg_search"}) {
        auto* group = f.find<RadioGroup>(name);
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        option.lineWidth = 1;
        const QRect inside = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                            QStyle::SC_GroupBoxContents, group);
        for (int i = 0; i < group->count(); ++i)
            QVERIFY2(inside.contains(group->button(i)->geometry()),
                     qPrintable(QStringLiteral("%1 item %2").arg(name).arg(i)));
    }
}

void MainWindowTest::iteration_arrows_show_focus_and_keys_step_the_field() {
    WindowFixture f;
    f.window->show();
    f.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    auto* up1 = f.find<UpDown>("up1");
    auto* txt_iter = f.find<QLineEdit>("txt_iter");
    txt_iter->setFocus();
    const QImage unfocused = up1->grab().toImage();
    up1->setFocus();
    QVERIFY(up1->hasFocus());
    QVERIFY(up1->grab().toImage() != unfocused);
    QTest::keyClick(up1, Qt::Key_Up);
    QCOMPARE(txt_iter->text(), QStringLiteral("1"));
    // The arrow keys in the field itself step it too, within 0 .. 10000.
    txt_iter->setFocus();
    QTest::keyClick(txt_iter, Qt::Key_Up);
    QTest::keyClick(txt_iter, Qt::Key_Up);
    QCOMPARE(txt_iter->text(), QStringLiteral("3"));
    for (int i = 0; i < 5; ++i) QTest::keyClick(txt_iter, Qt::Key_Down);
    QCOMPARE(txt_iter->text(), QStringLiteral("0"));
}

// 1366 x 768 at 100 %, 125 % and 150 %, less a 40-pixel task bar: the form keeps its
// size where it fits, and otherwise scrolls inside a window that fits, its controls at
// their places.
void MainWindowTest::window_stays_reachable_on_small_screens() {
    const struct {
        double scale;
        bool scrolls;
    } screens[] = {{1.0, false}, {1.25, true}, {1.5, true}};
    for (const auto& screen : screens) {
        WindowFixture f;
        const QRect available(0, 0, qRound(1366 / screen.scale), qRound((768 - 40) / screen.scale));
        f.window->fitScreen(available);
        auto* scroll = f.window->findChild<QScrollArea*>("form_scroll");
        QCOMPARE(scroll != nullptr, screen.scrolls);
        QVERIFY(f.window->width() + 16 <= available.width());
        QVERIFY(f.window->height() + 48 <= available.height());
        QVERIFY(available.contains(f.window->pos()));
        QCOMPARE(f.find<QLineEdit>("txt_in")->geometry(), QRect(184, 8, 337, 21));
        QCOMPARE(f.find<QPushButton>("btn_save3")->geometry(), QRect(516, 499, 41, 21));
        QVERIFY(f.find<QPushButton>("btn_stop")->isHidden());
        QVERIFY(f.find<QLineEdit>("txt_alpha")->isHidden());
        if (!scroll) {
            QCOMPARE(f.window->size(), QSize(676, 676));
            continue;
        }
        QCOMPARE(scroll->widget()->size(), QSize(676, 676));
        f.window->show();
        // The bottom of the form can be scrolled into view.
        scroll->ensureWidgetVisible(f.find<PreviewPicture>("img_delta"));
        const QPoint corner = f.find<PreviewPicture>("img_delta")
                                  ->mapTo(f.window.get(), QPoint(176, 144));
        QVERIFY(scroll->viewport()->geometry().contains(corner));
    }
}

void MainWindowTest::window_is_fixed_676_square_titled_orvane() {
    WindowFixture f;
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Orvane"));
    QCOMPARE(f.window->objectName(), QStringLiteral("frmMain"));
    QCOMPARE(f.window->size(), QSize(676, 676));
    QCOMPARE(f.window->minimumSize(), QSize(676, 676));
    QCOMPARE(f.window->maximumSize(), QSize(676, 676));
    const Qt::WindowFlags flags = f.window->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(f.window->font().pointSize(), 8);
    QVERIFY(f.prompts->messages.empty());
}

void MainWindowTest::every_control_has_its_place_caption_and_hint() {
    WindowFixture f;
    for (const Placed& expected : CONTROLS) {
        const QString name = QLatin1String(expected.name);
        auto* widget = f.find<QWidget>(expected.name);
        QVERIFY2(widget, qPrintable(name));
        QVERIFY2(widget->inherits(expected.kind), qPrintable(name));
        if (name == QLatin1String("cb_preview")) {
            QCOMPARE(widget->pos(), expected.geometry.topLeft());
            QVERIFY(widget->width() >= expected.geometry.width());
        } else {
            QCOMPARE(widget->geometry(), expected.geometry);
        }
        if (expected.caption) QCOMPARE(captionOf(widget), QString::fromUtf8(expected.caption));
        QCOMPARE(widget->toolTip(), QString::fromUtf8(expected.hint));
    }
}

void MainWindowTest::lists_hold_their_items_and_defaults() {
    WindowFixture f;
    const struct {
        const char* name;
        int selected;
    } columns[] = {{"cmb_gx", 0}, {"cmb_gy", 1}, {"cmb_point", 2}, {"cmb_gz", 3}, {"cmb_uba", 4}};
    for (const auto& column : columns) {
        auto* combo = f.find<QComboBox>(column.name);
        QVERIFY(combo);
        QCOMPARE(combo->parentWidget()->objectName(), QStringLiteral("grp_columns"));
        QCOMPARE(itemsOf(combo), letters());
        QCOMPARE(combo->currentIndex(), column.selected);
    }
    const QStringList centering = {"Not center", "Center to mean of search area",
                                   "Center to point of calc"};
    const struct {
        const char* name;
        int top;
        int selected;
    } centerings[] = {{"cmb_centerx", 232, 2}, {"cmb_centery", 259, 2}, {"cmb_centerz", 286, 0},
                      {"cmb_centeru", 313, 0}};
    for (const auto& expected : centerings) {
        auto* combo = f.find<QComboBox>(expected.name);
        QCOMPARE(itemsOf(combo), centering);
        QCOMPARE(combo->currentIndex(), expected.selected);
        QCOMPARE(combo->x(), 181);
        QCOMPARE(combo->width(), 161);
        QCOMPARE(combo->y(), expected.top);
    }
    QCOMPARE(itemsOf(f.find<QComboBox>("cb_iter")), QStringList({"RGA", "LGA"}));
    QCOMPARE(itemsOf(f.find<QComboBox>("cb1")), QStringList({"HEIGHT", "CBA"}));
    const QStringList design = {"HGGAX/GAX", "HGGAY/GAY", "HGGA/GAH", "VGGA/GAXX",
                                "RGA/GAYY",  "LGA/GAHH",  "ASIG/RGA", "TILT /LGA"};
    QCOMPARE(itemsOf(f.find<QComboBox>("cb2")), design);
    QCOMPARE(itemsOf(f.find<QComboBox>("cb3")), design);
    QCOMPARE(f.find<QComboBox>("cb2")->maxVisibleItems(), 10);
}

void MainWindowTest::radio_groups_hold_their_items_and_defaults() {
    WindowFixture f;
    const struct {
        const char* name;
        QStringList items;
        int selected;
    } groups[] = {
        {"rg_search", {"Radius", "N nearest pt."}, 0},
        {"rg_tendencies",
         {"Linear  (3x3) - x, y ,z, uba", "Linear  (4x4)", "Linear (6x6)", "Quadratic (10x10)",
          "Linear  (3x3) - x, y, nte, fay"},
         1},
        {"rg_method",
         {"Gauss-Jordan elimination", "Moore-Penrose inversion (SVD)", "Tichonov regularization"},
         1},
    };
    for (const auto& expected : groups) {
        auto* group = f.find<RadioGroup>(expected.name);
        QStringList items;
        for (int i = 0; i < group->count(); ++i) items << group->button(i)->text();
        QCOMPARE(items, expected.items);
        QCOMPARE(group->itemIndex(), expected.selected);
    }
    // Three columns: the method items share one row.
    auto* method = f.find<RadioGroup>("rg_method");
    QCOMPARE(method->button(0)->y(), method->button(2)->y());
    QVERIFY(method->button(0)->x() < method->button(1)->x());
    QVERIFY(method->button(1)->x() < method->button(2)->x());
}

void MainWindowTest::labels_stand_beside_their_fields() {
    WindowFixture f;
    for (const Labelled& expected : LABELS) {
        auto* label = f.find<QLabel>(expected.label);
        QVERIFY2(label, expected.label);
        QCOMPARE(label->text(), QString::fromUtf8(expected.text));
        QCOMPARE(label->buddy(), f.find<QWidget>(expected.buddy));
    }
    auto* svd = f.find<QLabel>("lbl_svd");
    QCOMPARE(svd->x(), 16);
    QVERIFY(svd->geometry().bottom() >= 397);
}

void MainWindowTest::creation_state_hides_and_disables_as_designed() {
    WindowFixture f;
    f.window->show();
    QVERIFY(!f.find<QLineEdit>("txt_alpha")->isVisible());
    QVERIFY(!f.find<QLabel>("lbl_alpha")->isVisible());
    QVERIFY(!f.find<QComboBox>("cb_iter")->isEnabled());
    QVERIFY(!f.find<QPushButton>("btn_stop")->isVisible());
    QVERIFY(f.find<QPushButton>("btn_exit")->isVisible());
    for (const char* name : {"txt_minalfa", "txt_maxalfa", "txt_seqquot"})
        QVERIFY(!f.find<QLineEdit>(name)->isEnabled());
    QVERIFY(f.find<QLineEdit>("txt_threshold")->isVisible());
    QVERIFY(f.find<QLabel>("lbl_svd")->isVisible());
    QVERIFY(!f.find<QCheckBox>("chb_cpin")->isChecked());
    QVERIFY(!f.find<QCheckBox>("cb_preview")->isChecked());
    auto* bar = f.find<QProgressBar>("ProgressBar1");
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->maximum(), 10000);
    auto* up1 = f.find<UpDown>("up1");
    QCOMPARE(up1->position(), 0);
    QCOMPARE(up1->maximum(), 10000);
    QVERIFY(!f.window->resultsReady());
    QVERIFY(!f.find<QLabel>("img_emblem")->pixmap().isNull());
}

// Every caption fits the size its control has, and no visible control covers another
// (the Exit and Stop buttons share one place and are never shown together).
void MainWindowTest::nothing_is_clipped_or_overlapping() {
    WindowFixture f;
    f.window->show();
    for (auto* label : f.window->findChildren<QLabel*>()) {
        if (label->objectName() == QLatin1String("img_emblem")) continue;
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->objectName()));
        QVERIFY2(label->sizeHint().height() <= label->height(), qPrintable(label->objectName()));
    }
    for (auto* button : f.window->findChildren<QAbstractButton*>()) {
        if (button->parentWidget()->inherits("UpDown")) continue;
        QVERIFY2(button->sizeHint().width() <= button->width() ||
                     button->inherits("QPushButton"),
                 qPrintable(button->text()));
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text().remove('&')) <
                     button->width(),
                 qPrintable(button->text()));
    }
    std::vector<QWidget*> placed;
    for (auto* widget : f.window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (widget->isVisible()) placed.push_back(widget);
    for (std::size_t i = 0; i < placed.size(); ++i) {
        QVERIFY(f.window->rect().contains(placed[i]->geometry()));
        for (std::size_t j = i + 1; j < placed.size(); ++j)
            QVERIFY2(!placed[i]->geometry().intersects(placed[j]->geometry()),
                     qPrintable(placed[i]->objectName() + " / " + placed[j]->objectName()));
    }
    auto* group = f.find<QGroupBox>("grp_columns");
    const auto inside = group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (auto* a : inside) {
        QVERIFY(group->rect().contains(a->geometry()));
        for (auto* b : inside)
            if (a != b) QVERIFY(!a->geometry().intersects(b->geometry()));
    }
}

void MainWindowTest::tab_order_follows_the_form() {
    WindowFixture f;
    const char* order[] = {"txt_in",      "btn_in",      "cmb_gx",      "cmb_uba",    "txt_log",
                           "btn_log",     "txt_out",     "btn_out",     "txt_radius", "txt_iter",
                           "up1",         "cb_iter",     "cmb_centerx", "cmb_centeru",
                           "ProgressBar1", "cb_preview", "txt_nearest", "btn_load",   "btn_calc",
                           "btn_exit",    "cb1",         "btn_save1",   "cb2",        "btn_save2",
                           "cb3",         "btn_save3",   "btn_stop",    "txt_alpha",  "chb_cpin",
                           "txt_threshold", "txt_minalfa", "txt_maxalfa", "txt_seqquot",
                           "txt_npoints"};
    QWidget* at = f.find<QWidget>(order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QWidget* target = f.find<QWidget>(order[i]);
        int steps = 0;
        while (at != target && steps < 40) {
            at = at->nextInFocusChain();
            ++steps;
        }
        QVERIFY2(at == target, order[i]);
    }
    // The radio groups come between the check box and the threshold, the search last.
    auto* tendencies = f.find<RadioGroup>("rg_tendencies");
    QCOMPARE(f.find<QWidget>("chb_cpin")->nextInFocusChain(), tendencies->button(0));
    auto* search = f.find<RadioGroup>("rg_search");
    QCOMPARE(f.find<QWidget>("txt_npoints")->nextInFocusChain(), search->button(0));
}

void MainWindowTest::pictures_start_cleared() {
    WindowFixture f;
    for (const char* name : {"img_uba", "img_regta", "img_delta"}) {
        const QImage& image = f.find<PreviewPicture>(name)->image();
        QCOMPARE(image.size(), QSize(177, 145));
        QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(176, 144), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(88, 0), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(0, 72), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(1, 1), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(175, 143), qRgb(255, 255, 255));
    }
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
