// Qt's own boxes and dialogs behind the window's prompts: answered here by a timer
// acting on the modal widget, as a user's hand would.

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "orvw/file_dialogs.h"
#include "orvw/qt_prompts.h"

namespace {

// Runs `act` on the modal widget once it is up (a dialog may take a few turns of the
// event loop to appear).
void whenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    auto turns = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, turns, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && ++*turns < 500) return;
        timer->stop();
        timer->deleteLater();
        if (modal) act(modal);
    });
    timer->start(0);
}

}  // namespace

class QtPromptsTest : public QObject {
    Q_OBJECT
private slots:
    void question_box_answers_yes_and_no();
    void open_dialog_returns_the_file_and_the_filter_chosen();
    void save_dialog_starts_from_the_name_and_adds_the_default_extension();
    void save_dialog_gives_the_name_the_extension_of_the_filter();
    void cancelled_dialog_returns_nothing();
};

void QtPromptsTest::question_box_answers_yes_and_no() {
    QtPrompts prompts(nullptr);
    for (const auto button : {QMessageBox::Yes, QMessageBox::No}) {
        QString caption, text;
        whenModal([&, button](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            caption = box->windowTitle();
            text = box->text();
            box->button(button)->click();
        });
        const bool yes = prompts.askYesNo(QStringLiteral("Cancel calculation?"),
                                          QStringLiteral("Warning"));
        QCOMPARE(yes, button == QMessageBox::Yes);
        QCOMPARE(caption, QStringLiteral("Warning"));
        QCOMPARE(text, QStringLiteral("Cancel calculation?"));
    }
}

void QtPromptsTest::open_dialog_returns_the_file_and_the_filter_chosen() {
    QTemporaryDir folder;
    const QString path = folder.filePath("lines.xyz");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const FileDialogSpec spec = fileDialogSpec(FileDialogId::Open1);
    QStringList shown;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        for (int i = 0; types && i < types->count(); ++i) shown << types->itemText(i);
        dialog->selectNameFilter(spec.filters[2]);
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();  // as the Open/Save button does
    });
    QtPrompts prompts(nullptr);
    const auto choice = prompts.openFile(spec, folder.filePath("old.dat"), 0);
    QVERIFY(choice.has_value());
    QCOMPARE(choice->path, path);
    QCOMPARE(choice->filter_index, 2);
    QCOMPARE(shown, QStringList({"Surfer DAT files (*.dat)", "Geosoft XYZ files(*.xyz)",
                                 "All files (*.*)"}));
}

void QtPromptsTest::save_dialog_starts_from_the_name_and_adds_the_default_extension() {
    QTemporaryDir folder;
    QString started_in;
    QString filter;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        started_in = dialog->directory().absolutePath();
        filter = dialog->selectedNameFilter();
        dialog->selectFile(folder.filePath("cba_map"));
        static_cast<QDialog*>(dialog)->accept();  // as the Open/Save button does
    });
    QtPrompts prompts(nullptr);
    const auto choice = prompts.saveFile(fileDialogSpec(FileDialogId::Save2),
                                         folder.filePath("cba_r=500_iter=0_object=rga.bmp"), 1);
    QVERIFY(choice.has_value());
    QCOMPARE(started_in, QDir(folder.path()).absolutePath());
    QCOMPARE(filter, QStringLiteral("Jpeg files (*.jpg)"));
    QCOMPARE(choice->filter_index, 1);
    // Under the JPEG filter a name without extension gets the JPEG one, not "bmp".
    QCOMPARE(choice->path, folder.filePath("cba_map.jpg"));
}

void QtPromptsTest::save_dialog_gives_the_name_the_extension_of_the_filter() {
    QTemporaryDir folder;
    QString shown_after_change;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        types->setCurrentIndex(SAVE_AS_GRID);
        emit types->activated(SAVE_AS_GRID);
        emit types->textActivated(types->itemText(SAVE_AS_GRID));
        shown_after_change = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
        static_cast<QDialog*>(dialog)->accept();
    });
    QtPrompts prompts(nullptr);
    const auto choice = prompts.saveFile(fileDialogSpec(FileDialogId::Save2),
                                         folder.filePath("cba_r=500_iter=0_object=rga.bmp"), 0);
    QVERIFY(choice.has_value());
    QCOMPARE(shown_after_change, QStringLiteral("cba_r=500_iter=0_object=rga.grd"));
    QCOMPARE(choice->filter_index, SAVE_AS_GRID);
    QCOMPARE(choice->path, folder.filePath("cba_r=500_iter=0_object=rga.grd"));
}

void QtPromptsTest::cancelled_dialog_returns_nothing() {
    whenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    QtPrompts prompts(nullptr);
    QVERIFY(!prompts.openFile(fileDialogSpec(FileDialogId::Open2), QString(), 0).has_value());
}

QTEST_MAIN(QtPromptsTest)
#include "qt_prompts_test.moc"
