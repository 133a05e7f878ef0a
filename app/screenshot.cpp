// orvane-screenshot SURVEY PNG: opens the window, runs the example calculation with
// previews on and saves a picture of the window. Works without a display under
// QT_QPA_PLATFORM=offscreen; the settings file and the results go to a temporary folder.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <clocale>
#include <cstdio>

#include "orvw/main_window.h"
#include "orvw/widgets/radio_group.h"

namespace {

// No one is there to answer: messages go to the error stream, questions get No and
// dialogs are cancelled.
class UnattendedPrompts : public Prompts {
public:
    void message(const QString& text, const QString& caption) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        ++messages;
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
    int messages = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    std::setlocale(LC_ALL, "C");
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvane-screenshot SURVEY PNG\n");
        return 2;
    }
    const QFileInfo survey(QString::fromLocal8Bit(argv[1]));
    const QString picture = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    QTemporaryDir folder;
    if (!folder.isValid() || !QFile::copy(survey.absoluteFilePath(), folder.filePath(survey.fileName()))) {
        std::fprintf(stderr, "cannot copy %s\n", argv[1]);
        return 1;
    }
    QDir::setCurrent(folder.path());

    auto prompts = std::make_unique<UnattendedPrompts>();
    UnattendedPrompts* seen = prompts.get();
    WindowOptions options;
    options.settings_path = folder.filePath("orvane.cfg").toStdString();
    options.prompts = std::move(prompts);
    options.decimal_separator = '.';
    TfrmMain frmMain(std::move(options));

    frmMain.findChild<QLineEdit*>("txt_in")->setText(survey.fileName());
    frmMain.findChild<QLineEdit*>("txt_out")->setText(survey.completeBaseName() + "_gradients.dat");
    frmMain.findChild<QLineEdit*>("txt_radius")->setText(QStringLiteral("300"));
    frmMain.findChild<RadioGroup*>("rg_tendencies")->button(1)->click();
    frmMain.findChild<QCheckBox*>("cb_preview")->setChecked(true);
    frmMain.show();
    frmMain.findChild<QPushButton*>("btn_calc")->click();
    QApplication::processEvents();
    if (seen->messages > 0 || !frmMain.resultsReady()) return 1;
    if (!frmMain.grab().save(picture)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(picture));
        return 1;
    }
    return 0;
}
