// The three preview pictures: drawing a gridded slot, re-gridding on a list change,
// saving a picture (bitmap, JPEG) or its node grid, and opening a picture's map window.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>

#include "engine/run/run_state.h"
#include "orvgrid/files/image_files.h"
#include "orvgrid/map/map_snapshot.h"
#include "orvgrid/preview_set.h"
#include "orvgrid/preview_vars.h"
#include "orvw/busy_cursor_gridder.h"
#include "orvw/export_choices.h"
#include "orvw/file_dialogs.h"
#include "orvw/main_window.h"
#include "orvw/map/map_window.h"
#include "orvw/widgets/preview_picture.h"
#include "orvw/window_monitor.h"

namespace {

// The slot's picture as the window shows it, pixel for pixel.
void copyInto(const RgbImage& source, PreviewPicture& picture) {
    QImage& target = picture.image();
    const int width = qMin(source.width, target.width());
    const int height = qMin(source.height, target.height());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* rgb = source.pixel(x, y);
            target.setPixel(x, y, qRgb(rgb[0], rgb[1], rgb[2]));
        }
    picture.update();
}

// The suggestion carries the extension of the format the dialog will write.
QString withFilterExtension(const std::string& name, int filter) {
    QString suggested = QString::fromStdString(name);
    const QString extension = saveFilterExtension(filter);
    const qsizetype dot = suggested.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && !extension.isEmpty()) suggested = suggested.left(dot + 1) + extension;
    return suggested;
}

}  // namespace

void TfrmMain::clearPreviews() {
    previews_->clear();
    ++data_version_;
    shown_.fill({});
    for (int slot = 1; slot <= 3; ++slot) clearSlot(slot);
}

// A slot the running run has gridded, from the entry its list had when the run began.
void TfrmMain::previewReady(int slot) {
    PreviewPicture* pictures[] = {img_uba, img_regta, img_delta};
    copyInto(previews_->image(slot), *pictures[slot - 1]);
    shown_[static_cast<std::size_t>(slot - 1)] = {run_labels_[static_cast<std::size_t>(slot - 1)],
                                                  data_version_, true, true};
}

QComboBox* TfrmMain::previewList(int slot) const {
    QComboBox* const lists[] = {cb1, cb2, cb3};
    return lists[slot - 1];
}

// The result lists name the quantities of the points only while they hold the entries
// they held when the points were made; the first list names columns of any points.
bool TfrmMain::canGridSlot(int slot) const {
    return cb_preview->isChecked() && state_.results_ready &&
           previewList(slot)->currentIndex() >= 0 &&
           (slot == 1 || lists_tendency_ == data_lists_tendency_);
}

bool TfrmMain::previewAgrees(int slot) const {
    const ShownPreview& shown = shown_[static_cast<std::size_t>(slot - 1)];
    return shown.data_version == data_version_ && shown.label == previewList(slot)->currentText() &&
           (shown.gridded || !canGridSlot(slot));
}

// Grids one slot from its list under the tendency and radii of the data in memory; false
// when the user cancelled it. A failed gridding leaves the picture empty.
bool TfrmMain::gridSlot(int slot, RunMonitor& monitor) {
    const QString label = previewList(slot)->currentText();
    const int index = previewList(slot)->currentIndex();
    announceGridding(slot);
    GridOutcome outcome;
    {
        const BusyCursor busy;
        outcome = previews_->grid_slot(slot, index, data_settings_.tendency,
                                       data_settings_.search_radius, data_settings_.grid_radius,
                                       state_, monitor, threads_);
    }
    ProgressBar1->setTextVisible(false);
    if (outcome == GridOutcome::Cancelled || stop_requested_) return false;
    const bool drawn = outcome == GridOutcome::Done;
    if (drawn) {
        PreviewPicture* pictures[] = {img_uba, img_regta, img_delta};
        copyInto(previews_->image(slot), *pictures[slot - 1]);
    } else {
        clearSlot(slot);
    }
    shown_[static_cast<std::size_t>(slot - 1)] = {label, data_version_, true, drawn};
    return true;
}

void TfrmMain::announceGridding(int slot) {
    ProgressBar1->setFormat(QStringLiteral("Gridding preview %1 ...").arg(slot));
    ProgressBar1->setTextVisible(true);
    ProgressBar1->repaint();
}

// An empty picture for the list's present entry.
void TfrmMain::clearSlot(int slot) {
    PreviewPicture* pictures[] = {img_uba, img_regta, img_delta};
    pictures[slot - 1]->clear();
    shown_[static_cast<std::size_t>(slot - 1)] = {previewList(slot)->currentText(),
                                                  data_version_, false, false};
}

// Makes every picture show what its list names, gridding where it can and clearing the
// others. Lists changed while a gridding runs are taken up when it ends, the last choice
// winning; after a cancel nothing more is gridded.
void TfrmMain::bringPreviewsInLine(bool may_grid) {
    if (busy_ || close_pending_) return;
    bool agreeing = true;
    for (int slot = 1; slot <= 3; ++slot) agreeing = agreeing && previewAgrees(slot);
    if (agreeing) return;
    setBusy(true);
    WindowMonitor monitor(*this);
    alignPreviews(monitor, may_grid);
    finishBusy();
}

// The work of bringPreviewsInLine, inside work already under way.
void TfrmMain::alignPreviews(RunMonitor& monitor, bool may_grid) {
    const auto disagreeing = [this] {
        for (int slot = 1; slot <= 3; ++slot)
            if (!previewAgrees(slot)) return slot;
        return 0;
    };
    for (int slot = disagreeing(); slot != 0 && may_grid && !close_pending_;
         slot = disagreeing()) {
        if (canGridSlot(slot))
            may_grid = gridSlot(slot, monitor);
        else
            clearSlot(slot);
    }
    for (int slot = 1; slot <= 3; ++slot)
        if (!previewAgrees(slot)) clearSlot(slot);
}

// Ends a load or a list's gridding: the stop flag is spent, and a close asked for
// meanwhile is carried out now.
void TfrmMain::finishBusy() {
    stop_requested_ = false;
    setBusy(false);
    if (close_pending_) close();
}

void TfrmMain::previewChange(int /*slot*/) {
    bringPreviewsInLine(true);
}

// Saves only a picture that shows what its list names, under the list's name.
void TfrmMain::savePreview(int slot) {
    if (busy_ || !cb_preview->isChecked() || !state_.results_ready) return;
    if (!previewAgrees(slot) || !shown_[static_cast<std::size_t>(slot - 1)].drawn) return;
    int& filter = filter_index_[static_cast<std::size_t>(FileDialogId::Save2)];
    const std::string name = suggested_image_name(
        previewList(slot)->currentText().toStdString(), txt_radius->text().toStdString(),
        txt_iter->text().toStdString(), cb_iter->currentText().toStdString());
    const auto choice = prompts_->saveFile(fileDialogSpec(FileDialogId::Save2),
                                           withFilterExtension(name, filter), filter);
    if (!choice) return;
    filter = choice->filter_index;

    const std::string path = choice->path.toStdString();
    FileWriteResult written;
    if (choice->filter_index == SAVE_AS_BITMAP) {
        written = write_bitmap_file(previews_->image(slot), path);
    } else if (choice->filter_index == SAVE_AS_JPEG) {
        written = write_jpeg_file(previews_->image(slot), path);
    } else {
        saveNodeGrid(slot, path);
        return;
    }
    if (!written.ok) showGeneralError(QString::fromStdString(written.message));
}

// The picture keeps only the nodes it was drawn from: its whole node grid is made now, under
// the busy cursor and with Stop answered, from the values it was drawn from. Lists changed
// meanwhile are taken up when it ends, unless it was cancelled.
void TfrmMain::saveNodeGrid(int slot, const std::string& path) {
    setBusy(true);
    WindowMonitor monitor(*this);
    PreviewGrid grid;
    GridOutcome outcome;
    {
        const BusyCursor busy;
        outcome = previews_->node_grid(slot, state_, monitor, threads_, grid);
    }
    if (outcome == GridOutcome::Done) {
        const FileWriteResult written = write_surfer_grid(grid, path);
        if (!written.ok) showGeneralError(QString::fromStdString(written.message));
    }
    grid = PreviewGrid{};  // given back before any list is gridded anew
    alignPreviews(monitor, outcome != GridOutcome::Cancelled);
    finishBusy();
}

// A map of the slot's quantity in a window of its own, from a copy of the points in
// memory that stays with the maps when a later run or load replaces them.
void TfrmMain::openMap(int slot) {
    if (busy_ || !state_.results_ready) return;
    try {
        if (!map_snapshot_)
            map_snapshot_ = take_map_snapshot(state_, data_settings_.tendency,
                                              data_settings_.search_radius,
                                              data_settings_.grid_radius,
                                              map_source_.toStdString());
    } catch (const std::bad_alloc&) {
        showGeneralError(QStringLiteral("Not enough memory for a map of these points."));
        return;
    }
    const QComboBox* lists[] = {cb1, cb2, cb3};
    const QComboBox* list = lists[slot - 1];
    const int position = preview_position(slot, list->currentIndex(), data_settings_.tendency);
    if (position < 0) return;
    auto* map = new MapWindow(map_snapshot_, position, list->currentText(), *prompts_, threads_, this);
    map->setExportChoicesPath(exportChoicesPath(QString::fromStdString(settings_path_)));
    map->show();
}

void TfrmMain::pointsReplaced(const QString& source) {
    map_snapshot_.reset();
    map_source_ = source;
}
