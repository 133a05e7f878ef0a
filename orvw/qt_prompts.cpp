#include "orvw/qt_prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>

namespace {

// With the details hidden the dialog names a filter by its description only; -1 when it
// is none of the dialog's filters.
int filterIndexOf(const FileDialogSpec& spec, const QString& selected) {
    int found = -1;
    for (qsizetype i = 0; i < spec.filters.size(); ++i)
        if (spec.filters[i] == selected ||
            spec.filters[i].startsWith(selected + QLatin1String(" (")))
            found = static_cast<int>(i);
    return found;
}

}  // namespace

void QtPrompts::message(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool QtPrompts::askYesNo(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent_);
    return box.exec() == QMessageBox::Yes;
}

std::optional<FileChoice> QtPrompts::openFile(const FileDialogSpec& spec,
                                              const QString& current_name, int filter_index) {
    return runDialog(spec, current_name, filter_index);
}

std::optional<FileChoice> QtPrompts::saveFile(const FileDialogSpec& spec,
                                              const QString& current_name, int filter_index) {
    return runDialog(spec, current_name, filter_index);
}

std::optional<FileChoice> QtPrompts::runDialog(const FileDialogSpec& spec,
                                               const QString& current_name, int filter_index) {
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(spec.default_suffix);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(spec.filters);
    if (filter_index >= 0 && filter_index < spec.filters.size())
        dialog.selectNameFilter(spec.filters[filter_index]);
    if (filter_index >= 0 && filter_index < spec.filter_suffixes.size())
        dialog.setDefaultSuffix(spec.filter_suffixes[filter_index]);
    // Another filter is another format: the name typed so far takes its extension.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &spec](const QString& selected) {
                         const int index = filterIndexOf(spec, selected);
                         if (index < 0 || index >= spec.filter_suffixes.size()) return;
                         const QString suffix = spec.filter_suffixes[index];
                         dialog.setDefaultSuffix(suffix);
                         auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                         if (!name) return;
                         const QString typed = name->text();
                         const qsizetype dot = typed.lastIndexOf(QLatin1Char('.'));
                         if (dot >= 0 && spec.filter_suffixes.contains(typed.mid(dot + 1)))
                             name->setText(typed.left(dot + 1) + suffix);
                     });
    // A name without a folder opens in the process's current directory.
    const QFileInfo current(current_name);
    const bool has_folder = current_name.contains(QLatin1Char('/'));
    dialog.setDirectory(has_folder ? current.absolutePath() : QDir::currentPath());
    if (!current_name.isEmpty()) dialog.selectFile(has_folder ? current.fileName() : current_name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    FileChoice choice;
    choice.path = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
    choice.filter_index = std::max(0, filterIndexOf(spec, dialog.selectedNameFilter()));
    return choice;
}
