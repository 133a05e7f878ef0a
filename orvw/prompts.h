#pragma once
// Everything the window asks of the user, behind one small interface: message boxes,
// Yes/No questions and file dialogs. The window owns one; tests put in their own, so
// that no modal box ever waits for a hand that is not there.

#include <QString>
#include <QStringList>
#include <optional>

enum class FileDialogId { Open1, Save1, Save2, Open2, MapView, MapGeoTiff };

struct FileDialogSpec {
    FileDialogId id = FileDialogId::Open1;
    bool save = false;
    QString default_suffix;  // added to a name typed without an extension
    QStringList filters;     // Qt filter syntax, in the dialog's order
    // When set, the extension of each filter, in the same order: a save dialog whose
    // filter writes the format gives the name that extension (and adds it when missing),
    // so that a file's content matches its name.
    QStringList filter_suffixes;
};

struct FileChoice {
    QString path;          // full path of the chosen file
    int filter_index = 0;  // position of the filter selected when confirmed
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // A box with the text and an OK button.
    virtual void message(const QString& text, const QString& caption) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& caption) = 0;
    // Open and save dialogs, starting from current_name and the filter at filter_index;
    // nothing when the user cancels.
    virtual std::optional<FileChoice> openFile(const FileDialogSpec& spec,
                                               const QString& current_name,
                                               int filter_index) = 0;
    virtual std::optional<FileChoice> saveFile(const FileDialogSpec& spec,
                                               const QString& current_name,
                                               int filter_index) = 0;
};
