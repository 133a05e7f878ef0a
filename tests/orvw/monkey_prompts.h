#pragma once
// The monkey's boxes and dialogs: every box is noted in the trail, every question answered
// Yes or No at random, and each file dialog returns the choice the action put up for it
// (none: the user cancels).

#include <QFileInfo>
#include <optional>
#include <string>

#include "orvw/prompts.h"
#include "tests/orvw/monkey_trail.h"
#include "tests/support/random_surveys.h"

class MonkeyPrompts : public Prompts {
   public:
    // `questions` counts the questions asked, across windows.
    MonkeyPrompts(SurveyRandom& random, MonkeyTrail& trail, long& questions)
        : random_(random), trail_(trail), questions_(questions) {}

    void message(const QString& text, const QString& caption) override {
        ++messages;
        trail_.note("box " + caption.toStdString() + ": " + firstLine(text));
    }
    bool askYesNo(const QString& text, const QString& caption) override {
        ++questions_;
        const bool yes = random_.uniform(0.0, 1.0) < 0.5;
        trail_.note("question " + caption.toStdString() + ": " + firstLine(text) +
                    (yes ? " -> Yes" : " -> No"));
        return yes;
    }
    std::optional<FileChoice> openFile(const FileDialogSpec& spec, const QString& current_name,
                                       int) override {
        return answer(spec, current_name);
    }
    std::optional<FileChoice> saveFile(const FileDialogSpec& spec, const QString& current_name,
                                       int) override {
        return answer(spec, current_name);
    }

    std::optional<FileChoice> next_file;  // the next dialog's answer; none: cancel
    bool quiet = false;                   // the checks' own dialogs stay out of the trail
    int dialogs = 0;
    int messages = 0;
    QString last_name;  // the name the last dialog suggested

   private:
    static std::string firstLine(const QString& text) {
        return text.section(QLatin1Char('\n'), 0, 0).left(90).toStdString();
    }

    std::optional<FileChoice> answer(const FileDialogSpec& spec, const QString& current_name) {
        ++dialogs;
        last_name = current_name;
        std::optional<FileChoice> choice;
        std::swap(choice, next_file);
        if (!quiet)
            trail_.note("dialog " + std::to_string(static_cast<int>(spec.id)) + " suggests '" +
                        current_name.toStdString() + "' -> " +
                        (choice ? QFileInfo(choice->path).fileName().toStdString() : "cancel"));
        return choice;
    }

    SurveyRandom& random_;
    MonkeyTrail& trail_;
    long& questions_;
};
