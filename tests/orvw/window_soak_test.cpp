// Fifty runs in a row in one window, with the three previews, a list change and a map
// window opened and closed after each: the process's resident memory after run 50 stays
// within 5 % of that after run 5.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <cmath>
#include <cstdio>

#include "orvgrid/preview_image.h"
#include "orvw/map/map_window.h"
#include "orvw/widgets/preview_picture.h"
#include "orvw/widgets/radio_group.h"
#include "tests/orvw/window_fixture.h"
#include "tests/support/random_surveys.h"

namespace {

// Resident set size of this process in kB, from /proc; 0 when it cannot be read.
long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    // Read whole: a /proc file has no size, so its end is not known ahead.
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLong();
    return 0;
}

// 3025 stations on a jittered 50 m lattice over a buried sphere and a regional trend.
void writeSurvey(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
    SurveyRandom random(20261209);
    int number = 0;
    for (int i = 0; i < 55; ++i)
        for (int k = 0; k < 55; ++k) {
            const double x = 1000.0 + 50.0 * i + random.uniform(-15.0, 15.0);
            const double y = 2000.0 + 50.0 * k + random.uniform(-15.0, 15.0);
            const double h = 300.0 + 20.0 * std::sin(x / 400.0) + random.uniform(-2.0, 2.0);
            const double dx = x - 2400.0, dy = y - 3300.0, depth = 400.0;
            const double sphere = -2.0e8 * depth / std::pow(dx * dx + dy * dy + depth * depth, 1.5);
            const double cba = sphere + 0.001 * x - 0.0005 * y + random.uniform(-0.01, 0.01);
            file.write(QByteArray::number(x, 'f', 2) + ' ' + QByteArray::number(y, 'f', 2) + ' ' +
                       QByteArray::number(++number) + ' ' + QByteArray::number(h, 'f', 2) + ' ' +
                       QByteArray::number(cba, 'f', 4) + '\n');
        }
}

}  // namespace

class WindowSoakTest : public QObject {
    Q_OBJECT
   private slots:
    void fifty_runs_with_previews_keep_resident_memory_level();
};

void WindowSoakTest::fifty_runs_with_previews_keep_resident_memory_level() {
    WindowFixture f;
    writeSurvey(f.folder.filePath("soak.dat"));
    f.find<QLineEdit>("txt_in")->setText(f.folder.filePath("soak.dat"));
    f.find<QLineEdit>("txt_out")->setText(f.folder.filePath("soak_out.dat"));
    f.find<QLineEdit>("txt_radius")->setText(QStringLiteral("150"));
    f.find<RadioGroup>("rg_tendencies")->button(1)->click();
    f.find<QCheckBox>("cb_preview")->setChecked(true);
    f.window->show();
    auto* calc = f.find<QPushButton>("btn_calc");
    auto* bar = f.find<QProgressBar>("ProgressBar1");
    auto* cb2 = f.find<QComboBox>("cb2");
    auto* cb3 = f.find<QComboBox>("cb3");

    long after_run_5 = 0;
    long after_run_50 = 0;
    for (int run = 1; run <= 50; ++run) {
        calc->click();
        QVERIFY2(f.window->resultsReady(), qPrintable(bar->text()));
        QVERIFY2(bar->text().startsWith(QStringLiteral("3025 rows written, 0 failed")),
                 qPrintable(bar->text()));
        // A list change re-grids its preview from the points in memory.
        cb2->setFocus();
        QTest::keyClick(cb2, run % 2 ? Qt::Key_Down : Qt::Key_Up);
        cb3->setFocus();
        QTest::keyClick(cb3, run % 3 ? Qt::Key_Down : Qt::Key_Home);
        // A map window holds a copy of the points (half a megabyte here) until it closes.
        f.find<PreviewPicture>("img_regta")->findChild<QAction*>("open_map")->trigger();
        QCOMPARE(f.window->findChildren<MapWindow*>().size(), 1);
        QTest::qWait(20);
        f.window->findChildren<MapWindow*>().front()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(f.window->findChildren<MapWindow*>().isEmpty());
        if (run == 5) after_run_5 = residentKb();
        if (run == 50) after_run_50 = residentKb();
    }
    QVERIFY(f.prompts->messages.empty());
    const RgbImage cleared = cleared_preview_image(177, 145);
    for (const char* name : {"img_uba", "img_regta", "img_delta"}) {
        const QImage& shown = f.find<PreviewPicture>(name)->image();
        QVERIFY2(shown.pixel(88, 72) != qRgb(cleared.pixel(88, 72)[0], cleared.pixel(88, 72)[1],
                                             cleared.pixel(88, 72)[2]),
                 name);
    }
    QVERIFY(after_run_5 > 0);
    qInfo(
        "resident after run 5: %ld kB, after run 50: %ld kB (%+.2f %%)", after_run_5, after_run_50,
        100.0 * static_cast<double>(after_run_50 - after_run_5) / static_cast<double>(after_run_5));
    QVERIFY2(static_cast<double>(after_run_50) <= 1.05 * static_cast<double>(after_run_5),
             qPrintable(QStringLiteral("%1 kB after run 50, %2 kB after run 5")
                            .arg(after_run_50)
                            .arg(after_run_5)));
}

QTEST_MAIN(WindowSoakTest)
#include "window_soak_test.moc"
