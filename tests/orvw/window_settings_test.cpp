// The window's side of the settings file: controls restored in order through the rules
// when the window is created, gathered and written when it closes.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

#include "orvw/widgets/radio_group.h"
#include "settings/settings_file.h"
#include "tests/orvw/window_fixture.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A settings file as the window would write it with its creation values, then changed.
SettingsBlock defaultBlock() {
    SettingsBlock block;
    namespace f = settings_field;
    block.put_int32(f::cb1, 1);
    block.put_int32(f::cb2, 0);
    block.put_int32(f::cb3, 1);
    block.put_int32(f::cmb_gy, 1);
    block.put_int32(f::cmb_point, 2);
    block.put_int32(f::cmb_gz, 3);
    block.put_int32(f::cmb_uba, 4);
    block.put_int32(f::cmb_centerx, 2);
    block.put_int32(f::cmb_centery, 2);
    block.put_real(f::txt_alpha, 0.01);
    block.put_int32(f::rg_tendencies, 1);
    block.put_int32(f::rg_method, 1);
    block.put_real(f::txt_threshold, -1.0);
    block.put_int32(f::txt_npoints, 10);
    return block;
}

}  // namespace

class WindowSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void closing_writes_what_the_next_start_restores();
    void an_empty_file_reads_as_all_zero();
    void result_lists_pass_through_the_tendency_rule_data();
    void result_lists_pass_through_the_tendency_rule();
    void letters_in_the_radius_keep_the_previous_file();
    void a_file_that_cannot_be_replaced_keeps_its_bytes();
    void reserved_bytes_survive_a_start_and_close();
    void an_unreadable_file_keeps_the_defaults_with_a_message();
};

void WindowSettingsTest::closing_writes_what_the_next_start_restores() {
    QTemporaryDir folder;
    const QString path = folder.filePath("orvane.cfg");
    {
        WindowFixture first(path);
        first.find<QLineEdit>("txt_in")->setText(QStringLiteral("/data/in.dat"));
        first.find<QLineEdit>("txt_out")->setText(QStringLiteral("out.dat"));
        first.find<QLineEdit>("txt_log")->setText(QStringLiteral("subset.dat"));
        first.find<QLineEdit>("txt_radius")->setText(QStringLiteral("250.5"));
        first.find<QLineEdit>("txt_nearest")->setText(QStringLiteral("300"));
        first.find<QLineEdit>("txt_iter")->setText(QStringLiteral("3"));
        first.find<QLineEdit>("txt_npoints")->setText(QStringLiteral("7"));
        first.find<QLineEdit>("txt_threshold")->setText(QStringLiteral("0.25"));
        first.find<QComboBox>("cmb_gz")->setCurrentIndex(5);
        first.find<QComboBox>("cmb_centeru")->setCurrentIndex(1);
        first.find<QCheckBox>("cb_preview")->setChecked(true);
        first.find<QCheckBox>("chb_cpin")->setChecked(true);
        first.find<RadioGroup>("rg_tendencies")->button(2)->click();
        first.find<QComboBox>("cb2")->setCurrentIndex(4);
        first.find<RadioGroup>("rg_method")->button(2)->click();
        first.find<RadioGroup>("rg_search")->button(1)->click();
        first.window->close();
        QVERIFY(first.prompts->messages.empty());
    }
    QCOMPARE(QFileInfo(path).size(), qint64{903});
    WindowFixture second(path);
    QVERIFY(second.prompts->messages.empty());
    QCOMPARE(second.find<QLineEdit>("txt_in")->text(), QStringLiteral("/data/in.dat"));
    QCOMPARE(second.find<QLineEdit>("txt_out")->text(), QStringLiteral("out.dat"));
    QCOMPARE(second.find<QLineEdit>("txt_log")->text(), QStringLiteral("subset.dat"));
    QCOMPARE(second.find<QLineEdit>("txt_radius")->text(), QStringLiteral("250.5"));
    QCOMPARE(second.find<QLineEdit>("txt_nearest")->text(), QStringLiteral("300"));
    QCOMPARE(second.find<QLineEdit>("txt_iter")->text(), QStringLiteral("3"));
    QCOMPARE(second.find<QLineEdit>("txt_npoints")->text(), QStringLiteral("7"));
    QCOMPARE(second.find<QLineEdit>("txt_threshold")->text(), QStringLiteral("0.25"));
    QCOMPARE(second.find<QLineEdit>("txt_alpha")->text(), QStringLiteral("0.01"));
    QCOMPARE(second.find<QComboBox>("cmb_gz")->currentText(), QStringLiteral("F"));
    QCOMPARE(second.find<QComboBox>("cmb_centeru")->currentIndex(), 1);
    QVERIFY(second.find<QCheckBox>("cb_preview")->isChecked());
    QVERIFY(second.find<QCheckBox>("chb_cpin")->isChecked());
    QCOMPARE(second.find<RadioGroup>("rg_tendencies")->itemIndex(), 2);
    QCOMPARE(second.find<QComboBox>("cb2")->currentText(), QStringLiteral("COEFF_4"));
    QCOMPARE(second.find<RadioGroup>("rg_method")->itemIndex(), 2);
    QVERIFY(second.find<QLineEdit>("txt_minalfa")->isEnabled());
    QCOMPARE(second.find<RadioGroup>("rg_search")->itemIndex(), 1);
}

void WindowSettingsTest::an_empty_file_reads_as_all_zero() {
    QTemporaryDir folder;
    const QString path = folder.filePath("orvane.cfg");
    writeBytes(path, {});
    WindowFixture f(path);
    f.window->show();
    QVERIFY(f.prompts->messages.empty());
    for (const char* name : {"txt_in", "txt_out", "txt_log"})
        QCOMPARE(f.find<QLineEdit>(name)->text(), QString());
    for (const char* name : {"txt_radius", "txt_nearest", "txt_iter", "txt_npoints",
                             "txt_threshold", "txt_alpha"})
        QCOMPARE(f.find<QLineEdit>(name)->text(), QStringLiteral("0"));
    for (const char* name : {"cmb_gx", "cmb_gy", "cmb_point", "cmb_gz", "cmb_uba"})
        QCOMPARE(f.find<QComboBox>(name)->currentText(), QStringLiteral("A"));
    for (const char* name : {"cmb_centerx", "cmb_centery", "cmb_centerz", "cmb_centeru"})
        QCOMPARE(f.find<QComboBox>(name)->currentText(), QStringLiteral("Not center"));
    QCOMPARE(f.find<RadioGroup>("rg_tendencies")->itemIndex(), 0);
    QCOMPARE(f.find<RadioGroup>("rg_method")->itemIndex(), 0);
    QCOMPARE(f.find<RadioGroup>("rg_search")->itemIndex(), 0);
    QVERIFY(!f.find<QLineEdit>("txt_threshold")->isVisible());
    QVERIFY(!f.find<QLabel>("lbl_svd")->isVisible());
    QVERIFY(!f.find<QLineEdit>("txt_iter")->isEnabled());
    QCOMPARE(f.find<QComboBox>("cb1")->currentText(), QStringLiteral("HEIGHT"));
    QCOMPARE(f.find<QComboBox>("cb2")->currentText(), QStringLiteral("HGGAX"));
}

void WindowSettingsTest::result_lists_pass_through_the_tendency_rule_data() {
    QTest::addColumn<int>("tendency");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("restored");
    QTest::newRow("ASIG under 1") << 1 << 6 << 6;
    QTest::newRow("TILT under 1") << 1 << 7 << 0;
    QTest::newRow("5 under 0") << 0 << 5 << 0;
    QTest::newRow("4 under 0") << 0 << 4 << 4;
    QTest::newRow("7 under 3") << 3 << 7 << 7;
    QTest::newRow("8 under 3: not in the design list") << 3 << 8 << -1;
    QTest::newRow("9 under 3: not in the design list") << 3 << 9 << -1;
    QTest::newRow("7 under 4: design list kept") << 4 << 7 << 7;
}

void WindowSettingsTest::result_lists_pass_through_the_tendency_rule() {
    QFETCH(int, tendency);
    QFETCH(int, stored);
    QFETCH(int, restored);
    QTemporaryDir folder;
    const QString path = folder.filePath("orvane.cfg");
    SettingsBlock block = defaultBlock();
    block.put_int32(settings_field::rg_tendencies, tendency);
    block.put_int32(settings_field::cb2, stored);
    block.put_int32(settings_field::cb3, stored);
    QVERIFY(write_settings_file(path.toStdString(), block).ok);
    WindowFixture f(path);
    QVERIFY(f.prompts->messages.empty());
    QCOMPARE(f.find<QComboBox>("cb2")->currentIndex(), restored);
    QCOMPARE(f.find<QComboBox>("cb3")->currentIndex(), restored);
}

void WindowSettingsTest::letters_in_the_radius_keep_the_previous_file() {
    QTemporaryDir folder;
    const QString path = folder.filePath("orvane.cfg");
    SettingsBlock block = defaultBlock();
    block.put_real(settings_field::txt_radius, 125.0);
    QVERIFY(write_settings_file(path.toStdString(), block).ok);
    const QByteArray before = readAll(path);
    WindowFixture f(path);
    f.window->show();
    f.find<QLineEdit>("txt_radius")->setText(QStringLiteral("12a"));
    f.find<QLineEdit>("txt_in")->setText(QStringLiteral("changed.dat"));
    f.window->close();
    QVERIFY(!f.window->isVisible());
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QCOMPARE(f.prompts->messages[0].text, QStringLiteral("Error by save config file"));
    QCOMPARE(f.prompts->messages[0].caption, QStringLiteral("Eror"));
    QCOMPARE(readAll(path), before);
}

// The folder takes no new file for the name (the partial file's name would pass the file
// system's limit of 255 bytes, which stops root too): the message, and the file as it was.
void WindowSettingsTest::a_file_that_cannot_be_replaced_keeps_its_bytes() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QString(246, QLatin1Char('c')) + QStringLiteral(".cfg"));
    SettingsBlock block = defaultBlock();
    block.put_real(settings_field::txt_radius, 125.0);
    const auto bytes = block.bytes();
    const QByteArray before(reinterpret_cast<const char*>(bytes.data()),
                            static_cast<qsizetype>(bytes.size()));
    writeBytes(path, before);
    WindowFixture f(path);
    QCOMPARE(f.find<QLineEdit>("txt_radius")->text(), QStringLiteral("125"));
    f.find<QLineEdit>("txt_radius")->setText(QStringLiteral("250"));
    f.window->close();
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QCOMPARE(f.prompts->messages[0].text, QStringLiteral("Error by save config file"));
    QCOMPARE(f.prompts->messages[0].caption, QStringLiteral("Eror"));
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 1);
}

void WindowSettingsTest::reserved_bytes_survive_a_start_and_close() {
    QTemporaryDir folder;
    const QString path = folder.filePath("orvane.cfg");
    SettingsBlock block = defaultBlock();
    auto bytes = block.bytes();
    for (std::size_t i = 0; i < settings_field::RESERVED_1_WIDTH; ++i)
        bytes[settings_field::reserved_1 + i] = static_cast<std::uint8_t>(0xA0 + i);
    for (std::size_t i = 0; i < settings_field::RESERVED_2_WIDTH; ++i)
        bytes[settings_field::reserved_2 + i] = static_cast<std::uint8_t>(0x10 + i);
    QVERIFY(write_settings_file(path.toStdString(), block).ok);
    {
        WindowFixture f(path);
        f.window->close();
        QVERIFY(f.prompts->messages.empty());
    }
    const QByteArray after = readAll(path);
    QCOMPARE(after.size(), qsizetype{903});
    for (std::size_t i = 0; i < settings_field::RESERVED_1_WIDTH; ++i)
        QCOMPARE(static_cast<std::uint8_t>(after[qsizetype(settings_field::reserved_1 + i)]),
                 static_cast<std::uint8_t>(0xA0 + i));
    for (std::size_t i = 0; i < settings_field::RESERVED_2_WIDTH; ++i)
        QCOMPARE(static_cast<std::uint8_t>(after[qsizetype(settings_field::reserved_2 + i)]),
                 static_cast<std::uint8_t>(0x10 + i));
}

// A folder where the file should be: it exists but cannot be read as one.
void WindowSettingsTest::an_unreadable_file_keeps_the_defaults_with_a_message() {
    QTemporaryDir folder;
    const QString path = folder.filePath("orvane.cfg");
    QVERIFY(QDir(folder.path()).mkdir("orvane.cfg"));
    WindowFixture f(path);
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QCOMPARE(f.prompts->messages[0].text,
             QStringLiteral("Error by read config file - use default"));
    QCOMPARE(f.prompts->messages[0].caption, QStringLiteral("Eror"));
    QCOMPARE(f.find<QLineEdit>("txt_npoints")->text(), QStringLiteral("10"));
    QCOMPARE(f.find<RadioGroup>("rg_tendencies")->itemIndex(), 1);
}

QTEST_MAIN(WindowSettingsTest)
#include "window_settings_test.moc"
