// The window under a monkey: seeded random use for ORVANE_MONKEY_SECONDS (30 by default)
// from ORVANE_MONKEY_SEED, without a crash, a hang or a preview whose list, picture and
// save name disagree.

#include "tests/orvw/window_monkey.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

namespace {

QtMessageHandler qtest_handler = nullptr;

// The offscreen platform says at every map window it opens that it cannot pass on size
// hints; thousands of those lines would bury the monkey's own.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("propagateSizeHints"))) return;
    qtest_handler(type, context, text);
}

}  // namespace

class WindowMonkeyTest : public QObject {
    Q_OBJECT
   private slots:
    void initTestCase() { qtest_handler = qInstallMessageHandler(quietHandler); }
    void random_use_keeps_lists_pictures_and_names_in_agreement();
};

void WindowMonkeyTest::random_use_keeps_lists_pictures_and_names_in_agreement() {
    const MonkeyConfig config = MonkeyConfig::fromEnvironment();
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    WindowMonkey monkey(config, folder.path());
    qInfo("monkey seed %llu for %.0f s", static_cast<unsigned long long>(config.seed),
          config.seconds);
    const QString failure = monkey.run();
    const MonkeyTally& t = monkey.tally();
    qInfo(
        "%ld steps, %ld actions during work, %ld Calc (%ld with results), %ld questions, "
        "%ld loads, %ld saves written, %ld maps opened, %ld closes, %ld checks comparing %ld "
        "pictures",
        t.steps, t.meddles, t.calcs, t.runs_with_results, t.questions, t.loads, t.saves_written,
        t.maps_opened, t.windows_closed, t.checks, t.pictures_compared);
    // In full here: the test's own message is cut short.
    if (!failure.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(failure));
    QVERIFY2(failure.isEmpty(), qPrintable(failure.section(QLatin1Char('\n'), 0, 0)));
}

QTEST_MAIN(WindowMonkeyTest)
#include "window_monkey_test.moc"
