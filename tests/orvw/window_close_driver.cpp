// Opens and closes the window over and over, offscreen, for scripts/kill-test.sh: each
// start reads the settings file, each close writes it with the radius switched between
// 100 and 200, and the export choices beside it with their folder switched the same way.
// Killed at any moment, it must leave both files as one of their two whole versions.
//
//   window_close_driver SETTINGS_FILE COUNT

#include <QApplication>
#include <QLineEdit>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "orvw/export_choices.h"
#include "orvw/main_window.h"
#include "orvw/prompts.h"

namespace {

// No box may wait for a hand: any message ends the driver with it on stderr.
class FailingPrompts : public Prompts {
public:
    void message(const QString& text, const QString& caption) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        std::exit(3);
    }
    bool askYesNo(const QString& text, const QString& caption) override {
        message(text, caption);
        return false;
    }
    std::optional<FileChoice> openFile(const FileDialogSpec&, const QString&, int) override {
        return std::nullopt;
    }
    std::optional<FileChoice> saveFile(const FileDialogSpec&, const QString&, int) override {
        return std::nullopt;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_close_driver SETTINGS_FILE COUNT\n");
        return 2;
    }
    QApplication application(argc, argv);
    const QString settings_path = QString::fromLocal8Bit(argv[1]);
    const QString choices_path = exportChoicesPath(settings_path);
    const long count = std::strtol(argv[2], nullptr, 10);
    for (long k = 0; k < count; ++k) {
        WindowOptions options;
        options.settings_path = settings_path.toStdString();
        options.prompts = std::make_unique<FailingPrompts>();
        TfrmMain window(std::move(options));
        auto* radius = window.findChild<QLineEdit*>(QStringLiteral("txt_radius"));
        const bool first = radius->text() != QStringLiteral("100");
        radius->setText(first ? QStringLiteral("100") : QStringLiteral("200"));

        RememberedExport choices = loadExportChoices(choices_path);
        choices.options.folder = first ? "/survey/a" : "/survey/b";
        if (!saveExportChoices(choices_path, choices.options)) {
            std::fprintf(stderr, "cannot save %s\n", qPrintable(choices_path));
            return 3;
        }
        window.close();
    }
    return 0;
}
