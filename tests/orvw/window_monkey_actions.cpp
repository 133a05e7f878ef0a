// The monkey's hands: what a user does with the window's controls, with the keyboard and
// with map windows.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "orvw/file_dialogs.h"
#include "orvw/map/map_window.h"
#include "orvw/widgets/preview_picture.h"
#include "orvw/widgets/radio_group.h"
#include "tests/orvw/monkey_prompts.h"
#include "tests/orvw/window_monkey.h"

std::vector<WindowMonkey::Action> WindowMonkey::idleActions() {
    return {
        {24, "Calc",
         [this] {
             ++tally_.calcs;
             click(find<QPushButton>("btn_calc"));
             if (window_->resultsReady()) ++tally_.runs_with_results;
         }},
        {8, "Load", [this] { load(); }},
        {8, "Save", [this] { save(); }},
        {4, "name the input", [this] { chooseInput(); }},
        {2, "name the subset",
         [this] {
             prompts_->next_file = chance(0.5)
                                       ? std::optional<FileChoice>({folder_ + "/subset.dat", 0})
                                       : std::nullopt;
             click(find<QPushButton>("btn_log"));
             if (chance(0.4)) field("txt_log")->clear();
         }},
        {2, "name the output",
         [this] {
             prompts_->next_file =
                 FileChoice{folder_ + (chance(0.7) ? "/result.dat" : "/my out.dat"), 0};
             click(find<QPushButton>("btn_out"));
         }},
        {6, "edit the radius",
         [this] {
             editField("txt_radius", VALID_RADII, {"", "abc", "0", "-360", "3,6"});
         }},
        {3, "edit the gridding radius",
         [this] {
             editField("txt_nearest", VALID_GRID_RADII, {"", "x1"});
         }},
        {4, "edit the iterations",
         [this] {
             editField("txt_iter", {"0", "1", "2", "3"}, {"", "12a", "-1", "10001"});
         }},
        {2, "edit the threshold",
         [this] {
             editField("txt_threshold", {"-1", "0", "1e-6", "0.5"}, {"", "q"});
         }},
        {2, "edit N",
         [this] {
             editField("txt_npoints", {"8", "10", "20"}, {"", "0", "5000"});
         }},
        {2, "edit a regularisation field",
         [this] {
             const char* names[] = {"txt_minalfa", "txt_maxalfa", "txt_seqquot"};
             const QStringList valid[] = {{"1E-10", "1e-6"}, {"10000000000", "1e4"}, {"2", "3"}};
             const int k = below(3);
             editField(names[k], valid[k], {"", "1", "z"});
         }},
        {14, "change a preview list", [this] { changeList(previewList(1 + below(3))); }},
        {2, "change a centering list",
         [this] {
             const char* names[] = {"cmb_centerx", "cmb_centery", "cmb_centerz", "cmb_centeru"};
             changeList(find<QComboBox>(names[below(4)]));
         }},
        {8, "click a tendency", [this] { clickRadio("rg_tendencies"); }},
        {4, "click a method", [this] { clickRadio("rg_method"); }},
        {2, "click a search mode", [this] { clickRadio("rg_search"); }},
        {6, "toggle Preview grids", [this] { click(find<QCheckBox>("cb_preview")); }},
        {1, "toggle Point of calculation IN", [this] { click(find<QCheckBox>("chb_cpin")); }},
        {6, "press a key", [this] { pressKey(); }},
        {4, "open a map", [this] { openMap(); }},
        {3, "use a map", [this] { useMap(); }},
        {3, "close a map", [this] { closeMap(); }},
        {4, "wait", [this] { wait(); }},
        {1, "close the window", [this] { closeWindow(); }},
        {5, "restore sane settings", [this] { restoreSaneSettings(); }},
    };
}

// While work goes on: what does not start work of its own, and Stop.
std::vector<WindowMonkey::Action> WindowMonkey::workActions() {
    return {
        {16, "Stop", [this] { click(find<QPushButton>("btn_stop")); }},
        {6, "Esc",
         [this] {
             QWidget* focus = window_->focusWidget();
             QTest::keyClick(focus ? focus : window_.get(), Qt::Key_Escape);
         }},
        {16, "change a preview list", [this] { changeList(previewList(1 + below(3))); }},
        {6, "click a tendency", [this] { clickRadio("rg_tendencies"); }},
        {2, "click a method", [this] { clickRadio("rg_method"); }},
        {5, "toggle Preview grids", [this] { click(find<QCheckBox>("cb_preview")); }},
        {4, "edit the radius",
         [this] {
             editField("txt_radius", VALID_RADII, {"", "abc"});
         }},
        {2, "edit the iterations",
         [this] {
             editField("txt_iter", {"0", "1"}, {"", "12a", "10001"});
         }},
        {4, "click Calc, Load or Save",
         [this] {
             const char* names[] = {"btn_calc", "btn_load", "btn_save1", "btn_save2", "btn_save3"};
             click(find<QPushButton>(names[below(5)]));
         }},
        {3, "press a key", [this] { pressKey(); }},
        {3, "open a map", [this] { openMap(); }},
        {1, "close the window", [this] { closeWindow(); }},
        {12, "nothing", [] {}},
    };
}

QComboBox* WindowMonkey::previewList(int slot) const {
    const char* names[] = {"cb1", "cb2", "cb3"};
    return find<QComboBox>(names[slot - 1]);
}

PreviewPicture* WindowMonkey::picture(int slot) const {
    const char* names[] = {"img_uba", "img_regta", "img_delta"};
    return find<PreviewPicture>(names[slot - 1]);
}

QLineEdit* WindowMonkey::field(const char* name) const { return find<QLineEdit>(name); }

// A mouse click where the user can click: on a control that is shown.
void WindowMonkey::click(QWidget* widget) {
    if (!widget || !widget->isVisible()) return;
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

// Into the field, its text replaced by typing, and out of it with Tab.
void WindowMonkey::editField(const char* name, const QStringList& valid,
                             const QStringList& invalid) {
    QLineEdit* edit = field(name);
    if (!edit || !edit->isVisible() || !edit->isEnabled()) return;
    const QString text = chance(0.8) ? pick(valid) : pick(invalid);
    trail_.note(std::string("  type '") + text.toStdString() + "' into " + name);
    click(edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
    if (chance(0.8)) QTest::keyClick(edit, Qt::Key_Tab);
}

// The keyboard's way through a list: each key that moves the selection is a choice.
void WindowMonkey::changeList(QComboBox* combo) {
    if (!combo || !combo->isVisible() || !combo->isEnabled()) return;
    combo->setFocus(Qt::MouseFocusReason);
    const Qt::Key keys[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End};
    const Qt::Key key = keys[below(5)];
    trail_.note("  key " + std::to_string(static_cast<int>(key)) + " in " +
                combo->objectName().toStdString() + " at " + combo->currentText().toStdString());
    QTest::keyClick(combo, key);
}

void WindowMonkey::pressKey() {
    struct Press {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    const Press presses[] = {
        {Qt::Key_Tab, Qt::NoModifier},    {Qt::Key_Backtab, Qt::ShiftModifier},
        {Qt::Key_Space, Qt::NoModifier},  {Qt::Key_Return, Qt::NoModifier},
        {Qt::Key_Up, Qt::NoModifier},     {Qt::Key_Down, Qt::NoModifier},
        {Qt::Key_Escape, Qt::NoModifier}, {Qt::Key_C, Qt::AltModifier},
        {Qt::Key_S, Qt::AltModifier},     {Qt::Key_L, Qt::AltModifier},
        {Qt::Key_A, Qt::AltModifier},     {Qt::Key_V, Qt::AltModifier},
        {Qt::Key_E, Qt::AltModifier},     {Qt::Key_5, Qt::NoModifier},
    };
    const Press press = presses[below(static_cast<int>(std::size(presses)))];
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != window_.get()) focus = window_.get();
    trail_.note("  key " + std::to_string(static_cast<int>(press.key)) + " mod " +
                std::to_string(static_cast<int>(press.modifiers)) + " on " +
                focus->objectName().toStdString());
    QTest::keyClick(focus, press.key, press.modifiers);
}

void WindowMonkey::clickRadio(const char* group) {
    auto* radio = find<RadioGroup>(group);
    if (!radio) return;
    click(radio->button(below(radio->count())));
}

void WindowMonkey::chooseInput() {
    const int choice = below(6);
    if (choice < 3)
        prompts_->next_file = FileChoice{folder_ + "/survey.dat", 0};
    else if (choice == 3)
        prompts_->next_file = FileChoice{folder_ + "/my survey.dat", 0};
    else if (choice == 4)
        prompts_->next_file = FileChoice{folder_ + "/missing_input.dat", 0};
    click(find<QPushButton>("btn_in"));
}

void WindowMonkey::load() {
    const QStringList files = {"result.dat",       "made_t0.dat", "made_t2.dat",     "made_t3.dat",
                               "made_nearest.dat", "upper.dat",   "header_only.dat", "missing.dat",
                               "survey.dat",       "my out.dat"};
    if (chance(0.85)) prompts_->next_file = FileChoice{folder_ + "/" + pick(files), below(2)};
    ++tally_.loads;
    click(find<QPushButton>("btn_load"));
}

// A save of a random preview in a random format; a file written must hold the picture
// shown, and the name suggested must be that of the list's entry.
void WindowMonkey::save() {
    const int slot = 1 + below(3);
    const int filter = below(3);
    const QString extensions[] = {"bmp", "jpg", "grd"};
    const QString path =
        QStringLiteral("%1/save_%2.%3").arg(folder_).arg(++saves_).arg(extensions[filter]);
    const QImage shown = picture(slot)->image();
    const QString entry = previewList(slot)->currentText();
    const int dialogs = prompts_->dialogs;
    if (chance(0.8)) prompts_->next_file = FileChoice{path, filter};
    const char* buttons[] = {"btn_save1", "btn_save2", "btn_save3"};
    click(find<QPushButton>(buttons[slot - 1]));
    prompts_->next_file.reset();
    if (prompts_->dialogs == dialogs) return;
    if (QFile::exists(path)) {
        ++tally_.saves_written;
        if (failure_.isEmpty()) failure_ = checkSavedFile(slot, path, filter, shown, entry);
        QFile::remove(path);
    }
}

// Double-click on a picture, as the user opens a map; at most three stay open.
void WindowMonkey::openMap() {
    PreviewPicture* target = picture(1 + below(3));
    const auto before = window_->findChildren<MapWindow*>().size();
    QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, target->rect().center());
    const auto maps = window_->findChildren<MapWindow*>();
    if (maps.size() > before) ++tally_.maps_opened;
    if (maps.size() > 3) maps.front()->close();
    activateWindow();
}

void WindowMonkey::useMap() {
    const auto maps = window_->findChildren<MapWindow*>();
    if (maps.isEmpty()) return;
    MapWindow* map = pick(std::vector<MapWindow*>(maps.begin(), maps.end()));
    switch (below(4)) {
        case 0:
            map->findChild<QPushButton*>(QStringLiteral("map_stop"))->click();
            break;
        case 1: {
            auto* quantity = map->findChild<QComboBox*>(QStringLiteral("map_quantity"));
            quantity->setCurrentIndex(below(quantity->count()));
            break;
        }
        case 2:
            map->resize(300 + below(600), 240 + below(400));
            break;
        default:
            map->findChild<QPushButton*>(QStringLiteral("map_reset"))->click();
            break;
    }
    QTest::qWait(below(40));
    activateWindow();
}

void WindowMonkey::closeMap() {
    const auto maps = window_->findChildren<MapWindow*>();
    if (!maps.isEmpty()) pick(std::vector<MapWindow*>(maps.begin(), maps.end()))->close();
    activateWindow();
}

// The system menu's close: during work the window waits for the work to unwind.
void WindowMonkey::closeWindow() { window_->close(); }

void WindowMonkey::wait() { QTest::qWait(below(60)); }

// Valid settings typed in, so that runs come again after the monkey has spoilt them.
void WindowMonkey::restoreSaneSettings() {
    field("txt_in")->setText(folder_ + "/survey.dat");
    field("txt_out")->setText(folder_ + "/result.dat");
    for (auto [name, text] : {std::pair{"txt_radius", pick(VALID_RADII)},
                              std::pair{"txt_nearest", pick(VALID_GRID_RADII)},
                              std::pair{"txt_npoints", QStringLiteral("10")},
                              std::pair{"txt_threshold", QStringLiteral("-1")},
                              std::pair{"txt_minalfa", QStringLiteral("1E-10")},
                              std::pair{"txt_maxalfa", QStringLiteral("10000000000")},
                              std::pair{"txt_seqquot", QStringLiteral("2")}})
        field(name)->setText(text);
    if (field("txt_iter")->isEnabled()) field("txt_iter")->setText(QStringLiteral("0"));
    // Keys that reached a column list may have moved it.
    const char* columns[] = {"cmb_gx", "cmb_gy", "cmb_point", "cmb_gz", "cmb_uba"};
    for (int k = 0; k < 5; ++k) find<QComboBox>(columns[k])->setCurrentIndex(k);
    if (!find<QCheckBox>("cb_preview")->isChecked() && chance(0.8))
        click(find<QCheckBox>("cb_preview"));
    activateWindow();
}
