#pragma once
// What window tests share: prompts that record every box and answer from a script (so
// no modal box ever waits), and a window whose settings file lies in a folder of the
// test's own.

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <deque>
#include <functional>
#include <vector>

#include "orvw/main_window.h"
#include "orvw/prompts.h"

struct PromptRecord {
    QString text;
    QString caption;
};

class FakePrompts : public Prompts {
public:
    void message(const QString& text, const QString& caption) override {
        messages.push_back({text, caption});
    }
    bool askYesNo(const QString& text, const QString& caption) override {
        questions.push_back({text, caption});
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<FileChoice> openFile(const FileDialogSpec& spec, const QString& current_name,
                                       int filter_index) override {
        return file(spec, current_name, filter_index);
    }
    std::optional<FileChoice> saveFile(const FileDialogSpec& spec, const QString& current_name,
                                       int filter_index) override {
        return file(spec, current_name, filter_index);
    }

    struct DialogCall {
        FileDialogSpec spec;
        QString current_name;
        int filter_index;
    };

    std::vector<PromptRecord> messages;
    std::vector<PromptRecord> questions;
    std::deque<bool> answers;              // Yes/No answers in order; No when empty
    std::deque<FileChoice> files;  // dialog results in order; an empty path or none: cancel
    std::vector<DialogCall> dialogs;

private:
    std::optional<FileChoice> file(const FileDialogSpec& spec, const QString& current_name,
                                   int filter_index) {
        dialogs.push_back({spec, current_name, filter_index});
        if (files.empty()) return std::nullopt;
        const FileChoice choice = files.front();
        files.pop_front();
        if (choice.path.isEmpty()) return std::nullopt;
        return choice;
    }
};

// A window with scripted prompts, the given decimal separator and point-loop threads
// (0: all cores), and its settings file at
// settings_path (by default a name in a fresh temporary folder that the fixture owns).
struct WindowFixture {
    QTemporaryDir folder;
    FakePrompts* prompts = nullptr;
    std::unique_ptr<TfrmMain> window;

    explicit WindowFixture(const QString& settings_path = {}, char decimal_separator = '.',
                           unsigned threads = 1) {
        auto owned = std::make_unique<FakePrompts>();
        prompts = owned.get();
        WindowOptions options;
        options.settings_path = (settings_path.isEmpty() ? folder.filePath("orvane.cfg")
                                                         : settings_path)
                                    .toStdString();
        options.prompts = std::move(owned);
        options.decimal_separator = decimal_separator;
        options.threads = threads;
        window = std::make_unique<TfrmMain>(std::move(options));
    }

    template <typename W>
    W* find(const char* name) const {
        return window->findChild<W*>(QLatin1String(name));
    }
};
