// The monkey's checks at quiet points: the window idle again, and each preview's list,
// picture and save name in agreement, the picture compared with a fresh gridding of the
// data in memory.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "engine/fit/trend_model.h"
#include "engine/run/run_state.h"
#include "orvgrid/map/map_snapshot.h"
#include "orvgrid/preview_set.h"
#include "orvgrid/preview_vars.h"
#include "orvw/file_dialogs.h"
#include "orvw/map/map_window.h"
#include "orvw/widgets/preview_picture.h"
#include "tests/orvw/monkey_pictures.h"
#include "tests/orvw/monkey_prompts.h"
#include "tests/orvw/window_monkey.h"
#include "tests/support/fake_monitor.h"

namespace {

// FNV-1a over the data a preview is gridded from.
std::uint64_t hashOf(const MapSnapshot& data) {
    std::uint64_t hash = 1469598103934665603ull;
    const auto mix = [&hash](const void* bytes, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(bytes);
        for (std::size_t k = 0; k < size; ++k) hash = (hash ^ p[k]) * 1099511628211ull;
    };
    mix(&data.points.count, sizeof data.points.count);
    for (std::size_t p = 0; p < data.points.count; ++p) {
        mix(data.points.work[p].value, sizeof data.points.work[p].value);
        mix(&data.points.survey[p].cba, sizeof(double));
    }
    mix(&data.tendency, sizeof data.tendency);
    mix(&data.search_radius, sizeof data.search_radius);
    mix(&data.grid_radius, sizeof data.grid_radius);
    return hash;
}

// The design's entries ("HGGAX/GAX" ...) name the quantities of every tendency.
bool holdsDesignEntries(const QComboBox* list) {
    const auto design = trend_model(Tendency::Linear3x3NteFay).result_list;
    if (static_cast<std::size_t>(list->count()) != design.size()) return false;
    for (int k = 0; k < list->count(); ++k)
        if (list->itemText(k) != QLatin1String(design[static_cast<std::size_t>(k)].text))
            return false;
    return true;
}

}  // namespace

QString WindowMonkey::fail(const QString& what) const {
    return QStringLiteral("%1\n%2").arg(what, QString::fromStdString(trail_.report()));
}

QString WindowMonkey::checkQuiet() {
    ++tally_.checks;
    if (QString failed = checkButtonsIdle(); !failed.isEmpty()) return failed;
    const MapSnapshot* data = dataInMemory();
    prompts_->quiet = true;
    QString failed = checkPictures(data);
    if (failed.isEmpty()) failed = checkSaveOffers();
    prompts_->quiet = false;
    return failed;
}

QString WindowMonkey::checkButtonsIdle() const {
    if (window_->isBusy()) return fail(QStringLiteral("the window is still busy after its step"));
    if (!find<QPushButton>("btn_exit")->isVisible() || find<QPushButton>("btn_stop")->isVisible())
        return fail(QStringLiteral("Stop is shown instead of Exit while the window is idle"));
    for (const char* name : {"btn_calc", "btn_load", "btn_save1", "btn_save2", "btn_save3"})
        if (!find<QPushButton>(name)->isEnabled())
            return fail(QStringLiteral("%1 stays disabled while the window is idle").arg(name));
    return {};
}

// During work Stop stands where Exit was and nothing that starts other work can be pressed.
QString WindowMonkey::checkButtonsBusy() const {
    if (find<QPushButton>("btn_exit")->isVisible() || !find<QPushButton>("btn_stop")->isVisible())
        return fail(QStringLiteral("Exit is shown instead of Stop while the window works"));
    for (const char* name : {"btn_calc", "btn_load", "btn_save1", "btn_save2", "btn_save3"})
        if (find<QPushButton>(name)->isEnabled())
            return fail(QStringLiteral("%1 can be pressed while the window works").arg(name));
    return {};
}

// The data in memory as a map window copies it; null before results. The copy is kept
// until Calc or Load is pressed again.
const MapSnapshot* WindowMonkey::dataInMemory() {
    if (!window_->resultsReady()) return nullptr;
    if (data_ && !data_stale_) return data_.get();
    const auto before = window_->findChildren<MapWindow*>();
    if (QAction* open = picture(1)->findChild<QAction*>(QStringLiteral("open_map")))
        open->trigger();
    MapWindow* opened = nullptr;
    for (MapWindow* map : window_->findChildren<MapWindow*>())
        if (!before.contains(map)) opened = map;
    if (!opened) return nullptr;
    const MapSnapshot& snapshot = opened->snapshot();
    if (!data_ || hashOf(*data_) != hashOf(snapshot)) {
        data_ = std::make_shared<MapSnapshot>(snapshot);
        if (fresh_.size() > 300) fresh_.clear();
    }
    data_stale_ = false;
    // Closed without processing events (the next step makes the window active again):
    // a click come due meanwhile would change the window under the check.
    opened->close();
    return data_.get();
}

// The picture slot `slot` would show for `list_index` when gridded now from `data`; the
// CBA as read in place of the corrected one when asked (preview 1 of a run with
// iterations is drawn before its passes).
std::optional<QImage> WindowMonkey::freshPicture(const MapSnapshot& data, int slot, int list_index,
                                                 bool cba_as_read) {
    const auto key = std::make_tuple(hashOf(data), slot, list_index, cba_as_read);
    if (auto found = fresh_.find(key); found != fresh_.end()) return found->second;
    RunState state;
    state.points = data.points;
    state.index = data.index;
    if (cba_as_read)
        for (std::size_t p = 0; p < state.points.count; ++p)
            state.points.work[p].value[work::cba] = state.points.survey[p].cba;
    PreviewSet previews;
    FakeMonitor monitor;
    const GridOutcome outcome = previews.grid_slot(
        slot, list_index, data.tendency, data.search_radius, data.grid_radius, state, monitor);
    if (outcome != GridOutcome::Done) return std::nullopt;
    return fresh_[key] = asQImage(previews.image(slot));
}

QString WindowMonkey::checkPictures(const MapSnapshot* data) {
    for (int slot = 1; slot <= 3; ++slot) {
        const QImage shown = picture(slot)->image();
        if (isCleared(shown)) continue;
        QComboBox* list = previewList(slot);
        const QString entry = list->currentText();
        const int index = list->currentIndex();
        const QString where = QStringLiteral("preview %1 (list on '%2')").arg(slot).arg(entry);
        if (index < 0) return fail(where + QStringLiteral(" shows a map under no entry"));
        ++tally_.pictures_compared;
        if (!window_->resultsReady()) {
            // Only preview 1 of a run stopped in its point loop can be left.
            if (slot != 1)
                return fail(where + QStringLiteral(" shows a map while no results are in memory"));
            bool matched = false;
            for (const CalcPress& press : calc_presses_)
                if (const auto* pictures = asReadPictures(press); pictures && index < 2)
                    matched = matched || (*pictures)[static_cast<std::size_t>(index)] == shown;
            if (!matched)
                return fail(where +
                            QStringLiteral(" shows no map of its entry of the survey as read"));
            continue;
        }
        if (!data) return fail(QStringLiteral("no map window opens on results in memory"));
        // The result lists must name the quantities of the data's tendency; the NTE/FAY
        // model's positions go by whatever entries the lists hold, and the entries of the
        // design ("HGGAX/GAX" ...) name those of every model.
        if (slot > 1 && data->tendency != Tendency::Linear3x3NteFay && !holdsDesignEntries(list)) {
            const auto names = trend_model(data->tendency).result_list;
            if (static_cast<std::size_t>(index) >= names.size() ||
                entry != QLatin1String(names[static_cast<std::size_t>(index)].text))
                return fail(where +
                            QStringLiteral(" shows a map while the list names another "
                                           "quantity than the data's tendency %1 keeps there")
                                .arg(static_cast<int>(data->tendency)));
        }
        const std::optional<QImage> expected = freshPicture(*data, slot, index, false);
        bool agrees = expected && *expected == shown;
        if (!agrees && slot == 1 && index == 1) {
            const std::optional<QImage> as_read = freshPicture(*data, slot, index, true);
            agrees = as_read && *as_read == shown;
        }
        if (!agrees) {
            // Which entry's map it is, if any: a stale picture shows the entry before.
            QString instead = QStringLiteral("no entry's");
            for (int other = 0; other < list->count(); ++other)
                if (const auto image = freshPicture(*data, slot, other, false);
                    image && *image == shown)
                    instead = QStringLiteral("the map of '%1'").arg(list->itemText(other));
            for (const auto& [press, pictures] : as_read_)
                for (int k = 0; k < 2; ++k)
                    if (slot == 1 && pictures[static_cast<std::size_t>(k)] == shown)
                        instead = QStringLiteral("'%1' of the points as read at radius %2, %3")
                                      .arg(list->itemText(k), press.radius, press.grid_radius);
            return fail(where + QStringLiteral(" differs from a fresh gridding of its entry from "
                                               "the data in memory (tendency %1, radius %2); it "
                                               "shows %3")
                                    .arg(static_cast<int>(data->tendency))
                                    .arg(data->search_radius)
                                    .arg(instead));
        }
    }
    return {};
}

// Save offers a dialog exactly for a drawn picture after results with previews on, and
// suggests the list's entry in its name.
QString WindowMonkey::checkSaveOffers() {
    const bool may_save = window_->resultsReady() && find<QCheckBox>("cb_preview")->isChecked();
    const char* buttons[] = {"btn_save1", "btn_save2", "btn_save3"};
    for (int slot = 1; slot <= 3; ++slot) {
        const bool drawn = !isCleared(picture(slot)->image());
        const int dialogs = prompts_->dialogs;
        prompts_->next_file.reset();
        find<QPushButton>(buttons[slot - 1])->click();
        const bool offered = prompts_->dialogs != dialogs;
        const QString entry = previewList(slot)->currentText();
        if (offered && !may_save)
            return fail(QStringLiteral("Save %1 offers a dialog without results").arg(slot));
        if (offered && !drawn) {
            // A gridding whose every pixel is blank or not a number looks empty too.
            const MapSnapshot* data = dataInMemory();
            const int index = previewList(slot)->currentIndex();
            const auto fresh = data ? freshPicture(*data, slot, index, false) : std::nullopt;
            if (!fresh || !isCleared(*fresh))
                return fail(QStringLiteral("Save %1 offers a dialog for an empty picture (a "
                                           "fresh gridding of '%2' is %3)")
                                .arg(slot)
                                .arg(previewList(slot)->currentText())
                                .arg(fresh ? QStringLiteral("not empty") : QStringLiteral("none")));
        }
        if (!offered && may_save && drawn)
            return fail(QStringLiteral("Save %1 refuses the picture of '%2', which agrees with "
                                       "its list")
                            .arg(slot)
                            .arg(entry));
        if (offered) {
            const QString name = QString::fromStdString(
                suggested_image_name(entry.toStdString(), field("txt_radius")->text().toStdString(),
                                     field("txt_iter")->text().toStdString(),
                                     find<QComboBox>("cb_iter")->currentText().toStdString()));
            const QString stem = name.left(name.lastIndexOf(QLatin1Char('.')) + 1);
            if (!prompts_->last_name.startsWith(stem))
                return fail(QStringLiteral("Save %1 suggests '%2' for the entry '%3'")
                                .arg(slot)
                                .arg(prompts_->last_name, entry));
        }
    }
    return {};
}

QString WindowMonkey::checkSavedFile(int slot, const QString& path, int filter, const QImage& shown,
                                     const QString& entry) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(QStringLiteral("cannot read %1").arg(path));
    const QByteArray bytes = file.readAll();
    const QByteArray magic[] = {"BM", "\xFF\xD8", "DSAA"};
    if (!bytes.startsWith(magic[filter]))
        return fail(QStringLiteral("Save %1 wrote no file of filter %2").arg(slot).arg(filter));
    if (filter == SAVE_AS_BITMAP &&
        QImage::fromData(bytes, "BMP").convertToFormat(QImage::Format_RGB32) != shown)
        return fail(QStringLiteral("Save %1 wrote another picture than the one shown under '%2'")
                        .arg(slot)
                        .arg(entry));
    return {};
}
