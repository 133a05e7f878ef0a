// The three preview pictures: drawing a gridded slot, re-gridding on a list change,
// saving a picture (bitmap, JPEG) or its node grid, and opening a picture's map window.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "orvw/busy_cursor_gridder.h"
#include "orvw/file_dialogs.h"
#include "orvgrid/files/image_files.h"
#include "orvgrid/map/map_snapshot.h"
#include "orvw/map/map_window.h"
#include "orvw/main_window.h"
#include "orvw/widgets/preview_picture.h"
#include "orvgrid/preview_set.h"
#include "orvgrid/preview_vars.h"
#include "orvw/window_monitor.h"
#include "engine/run/run_state.h"

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

}  // namespace

void TfrmMain::clearPreviews() {
    previews_->clear();
    for (int slot = 1; slot <= 3; ++slot) previewReady(slot);
}

void TfrmMain::previewReady(int slot) {
    PreviewPicture* pictures[] = {img_uba, img_regta, img_delta};
    copyInto(previews_->image(slot), *pictures[slot - 1]);
}

// Grids one slot from its list under the tendency and radii of the data in memory; false
// when the user cancelled it.
bool TfrmMain::gridSlot(int slot, RunMonitor& monitor) {
    const QComboBox* lists[] = {cb1, cb2, cb3};
    const BusyCursor busy;
    const GridOutcome outcome = previews_->grid_slot(
        slot, lists[slot - 1]->currentIndex(), data_settings_.tendency,
        data_settings_.search_radius, data_settings_.grid_radius, state_, monitor, threads_);
    if (outcome == GridOutcome::Done) previewReady(slot);
    return outcome != GridOutcome::Cancelled && !stop_requested_;
}

// Ends a load or a list's gridding: the stop flag is spent, and a close asked for
// meanwhile is carried out now.
void TfrmMain::finishBusy() {
    stop_requested_ = false;
    busy_ = false;
    if (close_pending_) close();
}

void TfrmMain::previewChange(int slot) {
    if (busy_ || !cb_preview->isChecked() || !state_.results_ready) return;
    busy_ = true;
    WindowMonitor monitor(*this);
    gridSlot(slot, monitor);
    finishBusy();
}

void TfrmMain::savePreview(int slot) {
    if (busy_ || !cb_preview->isChecked() || !state_.results_ready) return;
    const QComboBox* lists[] = {cb1, cb2, cb3};
    const std::string name = suggested_image_name(
        lists[slot - 1]->currentText().toStdString(), txt_radius->text().toStdString(),
        txt_iter->text().toStdString(), cb_iter->currentText().toStdString());
    int& filter = filter_index_[static_cast<std::size_t>(FileDialogId::Save2)];
    const auto choice =
        prompts_->saveFile(fileDialogSpec(FileDialogId::Save2), QString::fromStdString(name), filter);
    if (!choice) return;
    filter = choice->filter_index;

    const std::string path = choice->path.toStdString();
    FileWriteResult written;
    if (choice->filter_index == SAVE_AS_BITMAP) {
        written = write_bitmap_file(previews_->image(slot), path);
    } else if (choice->filter_index == SAVE_AS_JPEG) {
        written = write_jpeg_file(previews_->image(slot), path);
    } else if (previews_->has_result(slot)) {
        written = write_surfer_grid(previews_->result(slot).grid, path);
    } else {
        written.message = "This preview has no grid to save.";
    }
    if (!written.ok) showGeneralError(QString::fromStdString(written.message));
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
    map->show();
}

void TfrmMain::pointsReplaced(const QString& source) {
    map_snapshot_.reset();
    map_source_ = source;
}
