// orvane-screenshot [--map QUANTITY] SURVEY PNG: opens the window, runs the example
// calculation with previews on and saves a picture of the window; with --map, of the map
// window of QUANTITY (an entry of the second preview list, as HGGA) opened from its
// preview, with the readout over the survey's middle. Works without a display under
// QT_QPA_PLATFORM=offscreen; the settings file and the results go to a temporary folder.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <cstdio>

#include "orvw/main_window.h"
#include "orvw/map/map_plot.h"
#include "orvw/map/map_window.h"
#include "orvw/widgets/preview_picture.h"
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

// Runs the event loop until the map has gridded its view and no view change is pending.
bool waitForMap(MapWindow& map) {
    for (int quiet = 0, rounds = 0; quiet < 3 && rounds < 600; ++rounds) {
        QEventLoop loop;
        QTimer::singleShot(200, &loop, &QEventLoop::quit);
        const int started = map.griddingsStarted();
        loop.exec();
        quiet = map.isGridding() || map.griddingsStarted() != started ? 0 : quiet + 1;
    }
    return !map.isGridding() && !map.values().empty();
}

// The map of `quantity` from the second preview, 1040 x 720, read out over the middle of
// the survey; its picture, or a null image.
QImage mapPicture(TfrmMain& frmMain, const QString& quantity) {
    auto* list = frmMain.findChild<QComboBox*>("cb2");
    const int entry = list->findText(quantity);
    if (entry < 0) {
        std::fprintf(stderr, "%s is not an entry of the second preview list\n",
                     qPrintable(quantity));
        return {};
    }
    list->setCurrentIndex(entry);
    frmMain.findChild<PreviewPicture*>("img_regta")->findChild<QAction*>("open_map")->trigger();
    const QList<MapWindow*> maps = frmMain.findChildren<MapWindow*>();
    if (maps.isEmpty()) return {};
    MapWindow& map = *maps.last();
    map.resize(1040, 720);
    if (!waitForMap(map)) return {};
    MapPlot* plot = map.plot();
    const QPointF middle = plot->axisRect()->rect().center();
    QMouseEvent move(QEvent::MouseMove, middle, plot->mapToGlobal(middle), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    QApplication::processEvents();
    return map.grab().toImage();
}

}  // namespace

int main(int argc, char* argv[]) {
    std::setlocale(LC_ALL, "C");
    QApplication application(argc, argv);
    QStringList arguments = QApplication::arguments().mid(1);
    QString map_quantity;
    if (arguments.size() == 4 && arguments[0] == QLatin1String("--map")) {
        map_quantity = arguments[1];
        arguments = arguments.mid(2);
    }
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: orvane-screenshot [--map QUANTITY] SURVEY PNG\n");
        return 2;
    }
    const QFileInfo survey(arguments[0]);
    const QString picture = QFileInfo(arguments[1]).absoluteFilePath();
    QTemporaryDir folder;
    if (!folder.isValid() ||
        !QFile::copy(survey.absoluteFilePath(), folder.filePath(survey.fileName()))) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(arguments[0]));
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
    const QImage shot =
        map_quantity.isEmpty() ? frmMain.grab().toImage() : mapPicture(frmMain, map_quantity);
    if (shot.isNull()) return 1;
    if (!shot.save(picture)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(picture));
        return 1;
    }
    return 0;
}
