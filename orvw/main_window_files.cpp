// File dialogs for the names, and the preview pictures, their lists and save buttons.

#include <QLineEdit>

#include "file_dialogs.h"
#include "main_window.h"
#include "preview_picture.h"

void TfrmMain::chooseFileInto(QLineEdit* field, FileDialogId id) {
    const FileDialogSpec spec = fileDialogSpec(id);
    int& filter = filter_index_[static_cast<std::size_t>(id)];
    const auto choice = spec.save ? prompts_->saveFile(spec, field->text(), filter)
                                  : prompts_->openFile(spec, field->text(), filter);
    if (!choice) return;
    field->setText(choice->path);
    filter = choice->filter_index;
}

void TfrmMain::btn_inClick() {
    chooseFileInto(txt_in, FileDialogId::Open1);
}

void TfrmMain::btn_logClick() {
    chooseFileInto(txt_log, FileDialogId::Open1);
}

// The filter reset belongs to the open dialog, as the form has always done it.
void TfrmMain::btn_outClick() {
    filter_index_[static_cast<std::size_t>(FileDialogId::Open1)] = 0;
    chooseFileInto(txt_out, FileDialogId::Save1);
}

void TfrmMain::clearPreviews() {
    for (PreviewPicture* picture : {img_uba, img_regta, img_delta}) picture->clear();
}

void TfrmMain::previewReady(int) {}

void TfrmMain::previewChange(int) {}

void TfrmMain::savePreview(int) {}

void TfrmMain::btn_loadClick() {}

void TfrmMain::btn_save1Click() {
    savePreview(1);
}

void TfrmMain::btn_save2Click() {
    savePreview(2);
}

void TfrmMain::btn_save3Click() {
    savePreview(3);
}

void TfrmMain::cb1Change() {
    previewChange(1);
}

void TfrmMain::cb2Change() {
    previewChange(2);
}

void TfrmMain::cb3Change() {
    previewChange(3);
}
