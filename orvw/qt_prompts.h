#pragma once
// The window's prompts as Qt's own message boxes and file dialogs.

#include "orvw/prompts.h"

class QWidget;

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent) : parent_(parent) {}

    void message(const QString& text, const QString& caption) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    std::optional<FileChoice> openFile(const FileDialogSpec& spec, const QString& current_name,
                                       int filter_index) override;
    std::optional<FileChoice> saveFile(const FileDialogSpec& spec, const QString& current_name,
                                       int filter_index) override;

private:
    std::optional<FileChoice> runDialog(const FileDialogSpec& spec, const QString& current_name,
                                        int filter_index);

    QWidget* parent_;
};
