// The window started from settings files that are short, long or damaged: it opens with
// every control on an entry of its list, and closing either writes a whole 903-byte file
// or says "Error by save config file" and keeps the file that was there.

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QtTest>

#include <random>

#include "orvw/widgets/radio_group.h"
#include "settings/settings_block.h"
#include "settings/settings_values.h"
#include "tests/orvw/window_fixture.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A file as a user's earlier session might have left it.
QByteArray usedBlock() {
    SettingsValues v;
    v.txt_in = "/data/in.dat";
    v.txt_out = "out.dat";
    v.txt_radius = 250.5;
    v.rg_tendencies = 3;
    v.rg_method = 2;
    v.cmb_gz = 5;
    v.txt_npoints = 12;
    v.rg_search = 1;
    SettingsBlock block;
    store_settings_values(v, block);
    return QByteArray(reinterpret_cast<const char*>(block.bytes().data()),
                      static_cast<qsizetype>(block.bytes().size()));
}

// What the window shows of its settings, to compare two starts.
QStringList shown(const WindowFixture& f) {
    QStringList texts;
    for (const char* name : {"txt_in", "txt_out", "txt_log", "txt_radius", "txt_nearest",
                             "txt_iter", "txt_npoints", "txt_threshold", "txt_alpha"})
        texts << f.find<QLineEdit>(name)->text();
    for (const char* name : {"cmb_gx", "cmb_gy", "cmb_point", "cmb_gz", "cmb_uba", "cmb_centerx",
                             "cmb_centery", "cmb_centerz", "cmb_centeru", "cb_iter", "cb1",
                             "cb2", "cb3"})
        texts << f.find<QComboBox>(name)->currentText();
    for (const char* name : {"rg_tendencies", "rg_method", "rg_search"})
        texts << QString::number(f.find<RadioGroup>(name)->itemIndex());
    return texts;
}

}  // namespace

class WindowBadSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void short_and_long_files_read_what_they_hold();
    void random_bytes_open_a_usable_window();
};

// 902 bytes lack only the high byte of the last field; 5000 bytes carry 4097 that are
// never read. Both start the window as the 903-byte file does.
void WindowBadSettingsTest::short_and_long_files_read_what_they_hold() {
    const QByteArray full = usedBlock();
    QCOMPARE(full.size(), qsizetype{903});
    QTemporaryDir folder;
    const QString path = folder.filePath("orvane.cfg");
    QVERIFY(writeBytes(path, full));
    WindowFixture reference(path);
    QVERIFY(reference.prompts->messages.empty());
    const QStringList expected = shown(reference);
    QCOMPARE(expected[0], QStringLiteral("/data/in.dat"));

    for (const QByteArray& bytes : {full.left(902), full + QByteArray(4097, '\x7F')}) {
        QVERIFY(writeBytes(path, bytes));
        WindowFixture f(path);
        QVERIFY(f.prompts->messages.empty());
        QCOMPARE(shown(f), expected);
    }
}

// Damaged files of random bytes, fixed seeds: no crash, every list on an entry or on
// none, and a close that leaves a readable file behind.
void WindowBadSettingsTest::random_bytes_open_a_usable_window() {
    std::mt19937 random(1903);
    for (int round = 0; round < 12; ++round) {
        QTemporaryDir folder;
        const QString path = folder.filePath("orvane.cfg");
        QByteArray bytes;
        const int size = round == 0 ? 903 : static_cast<int>(random() % 1200);
        for (int i = 0; i < size; ++i) bytes.append(static_cast<char>(random() & 0xFF));
        // Some rounds keep the texts short, so the window has paths to carry back.
        if (round % 2 == 1 && size > 600) {
            bytes[8] = '\0';
            bytes[255 + 8] = '\0';
            bytes[575 + 8] = '\0';
        }
        QVERIFY(writeBytes(path, bytes));
        {
            WindowFixture f(path);
            QVERIFY(f.prompts->messages.empty());
            for (const char* name : {"cmb_gx", "cmb_gy", "cmb_point", "cmb_gz", "cmb_uba",
                                     "cmb_centerx", "cmb_centery", "cmb_centerz", "cmb_centeru",
                                     "cb_iter", "cb1", "cb2", "cb3"}) {
                QComboBox* list = f.find<QComboBox>(name);
                QVERIFY2(list->currentIndex() >= -1 && list->currentIndex() < list->count(), name);
            }
            f.window->close();
            if (!f.prompts->messages.empty()) {
                QCOMPARE(f.prompts->messages.size(), std::size_t{1});
                QCOMPARE(f.prompts->messages[0].text, QStringLiteral("Error by save config file"));
                QCOMPARE(readAll(path), bytes);
            } else {
                QCOMPARE(readAll(path).size(), qsizetype{903});
            }
        }
        WindowFixture again(path);
        QVERIFY(again.prompts->messages.empty());
    }
}

QTEST_MAIN(WindowBadSettingsTest)
#include "window_bad_settings_test.moc"
