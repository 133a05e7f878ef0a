// The tendency and method rules, and the checks made when a numeric field is left.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

#include "orvw/widgets/radio_group.h"
#include "orvw/widgets/up_down.h"
#include "tests/orvw/window_fixture.h"

namespace {

QStringList itemsOf(QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

void chooseTendency(WindowFixture& f, int tendency) {
    f.find<RadioGroup>("rg_tendencies")->button(tendency)->click();
}

void chooseMethod(WindowFixture& f, int method) {
    f.find<RadioGroup>("rg_method")->button(method)->click();
}

const QStringList TENDENCY_0 = {"HGGAX", "HGGAY", "HGGA", "VGGA", "ASIG", "TILT"};
const QStringList TENDENCY_1 = {"HGGAX", "HGGAY", "HGGA", "VGGA", "RGA", "LGA", "ASIG", "TILT"};

// Shows the window and makes it the active one, so that focus moves as a user's would.
void activate(WindowFixture& f) {
    f.window->show();
    QApplication::setActiveWindow(f.window.get());
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
}

// Leaves `from` for `to` and lets the deferred check run.
void leave(QWidget* from, QWidget* to) {
    from->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    to->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

}  // namespace

class WindowRulesTest : public QObject {
    Q_OBJECT
private slots:
    void tendency_rule_bounds_old_positions_data();
    void tendency_rule_bounds_old_positions();
    void tendency_rule_fills_coefficient_lists();
    void fifth_tendency_changes_nothing();
    void first_tendency_resets_and_disables_iterations();
    void method_rule_enables_hides_and_relabels();
    void leaving_a_field_checks_it_data();
    void leaving_a_field_checks_it();
    void two_bad_fields_do_not_pass_the_focus_back_and_forth();
    void check_ignores_valid_text_and_decimal_comma();
    void a_decimal_comma_is_shown_and_checked();
};

void WindowRulesTest::tendency_rule_bounds_old_positions_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("expected_text");
    QTest::newRow("TILT of 1 to 0") << 1 << 7 << 0 << 0 << "HGGAX";
    QTest::newRow("ASIG of 1 to 0") << 1 << 6 << 0 << 0 << "HGGAX";
    QTest::newRow("VGGA of 1 to 0") << 1 << 3 << 0 << 3 << "VGGA";
    QTest::newRow("ASIG of 0 to 1") << 0 << 4 << 1 << 4 << "RGA";
    QTest::newRow("TILT of 0 to 1") << 0 << 5 << 1 << 5 << "LGA";
    QTest::newRow("TILT of 1 to 1") << 1 << 7 << 1 << 0 << "HGGAX";
    QTest::newRow("COEFF_5 of 2 to 0") << 2 << 5 << 0 << 0 << "HGGAX";
    QTest::newRow("COEFF_9 of 3 to 2") << 3 << 9 << 2 << 0 << "COEFF_0";
    QTest::newRow("COEFF_9 of 3 to 3") << 3 << 9 << 3 << 9 << "COEFF_9";
    QTest::newRow("TILT of 1 to 3") << 1 << 7 << 3 << 7 << "COEFF_7";
}

void WindowRulesTest::tendency_rule_bounds_old_positions() {
    QFETCH(int, from);
    QFETCH(int, position);
    QFETCH(int, to);
    QFETCH(int, expected);
    QFETCH(QString, expected_text);
    WindowFixture f;
    chooseTendency(f, from);
    for (const char* name : {"cb2", "cb3"}) f.find<QComboBox>(name)->setCurrentIndex(position);
    chooseTendency(f, to);
    for (const char* name : {"cb2", "cb3"}) {
        QCOMPARE(f.find<QComboBox>(name)->currentIndex(), expected);
        QCOMPARE(f.find<QComboBox>(name)->currentText(), expected_text);
    }
}

void WindowRulesTest::tendency_rule_fills_coefficient_lists() {
    WindowFixture f;
    chooseTendency(f, 0);
    QCOMPARE(itemsOf(f.find<QComboBox>("cb2")), TENDENCY_0);
    chooseTendency(f, 1);
    QCOMPARE(itemsOf(f.find<QComboBox>("cb3")), TENDENCY_1);
    chooseTendency(f, 2);
    QCOMPARE(itemsOf(f.find<QComboBox>("cb2")),
             QStringList({"COEFF_0", "COEFF_1", "COEFF_2", "COEFF_3", "COEFF_4", "COEFF_5"}));
    chooseTendency(f, 3);
    QCOMPARE(f.find<QComboBox>("cb3")->count(), 10);
    QCOMPARE(f.find<QComboBox>("cb3")->itemText(9), QStringLiteral("COEFF_9"));
    // The first list never changes.
    QCOMPARE(itemsOf(f.find<QComboBox>("cb1")), QStringList({"HEIGHT", "CBA"}));
}

void WindowRulesTest::fifth_tendency_changes_nothing() {
    WindowFixture f;
    auto* cb2 = f.find<QComboBox>("cb2");
    auto* cb3 = f.find<QComboBox>("cb3");
    const QStringList design = itemsOf(cb2);
    cb2->setCurrentIndex(7);
    chooseTendency(f, 4);
    QCOMPARE(itemsOf(cb2), design);
    QCOMPARE(itemsOf(cb3), design);
    QCOMPARE(cb2->currentText(), QStringLiteral("TILT /LGA"));
    QCOMPARE(cb3->currentIndex(), 1);

    chooseTendency(f, 0);
    chooseTendency(f, 4);
    QCOMPARE(itemsOf(cb2), TENDENCY_0);
    QVERIFY(!f.find<QLineEdit>("txt_iter")->isEnabled());
    QVERIFY(!f.find<UpDown>("up1")->isEnabled());
}

void WindowRulesTest::first_tendency_resets_and_disables_iterations() {
    WindowFixture f;
    auto* txt_iter = f.find<QLineEdit>("txt_iter");
    auto* up1 = f.find<UpDown>("up1");
    up1->setPosition(7);
    QCOMPARE(txt_iter->text(), QStringLiteral("7"));
    chooseTendency(f, 0);
    QCOMPARE(txt_iter->text(), QStringLiteral("0"));
    QCOMPARE(up1->position(), 0);
    QVERIFY(!txt_iter->isEnabled());
    QVERIFY(!up1->isEnabled());
    for (int tendency : {1, 2, 3}) {
        chooseTendency(f, 0);
        chooseTendency(f, tendency);
        QVERIFY(txt_iter->isEnabled());
        QVERIFY(up1->isEnabled());
        QCOMPARE(txt_iter->text(), QStringLiteral("0"));
    }
    // The arrows keep the count within 0..10000 and write it without separators.
    up1->setPosition(12000);
    QCOMPARE(txt_iter->text(), QStringLiteral("10000"));
    QTest::keyClick(up1, Qt::Key_Down);
    QCOMPARE(txt_iter->text(), QStringLiteral("9999"));
    up1->setPosition(-4);
    QCOMPARE(txt_iter->text(), QStringLiteral("0"));
}

void WindowRulesTest::method_rule_enables_hides_and_relabels() {
    WindowFixture f;
    f.window->show();
    auto* label = f.find<QLabel>("lbl_svd");
    auto* threshold = f.find<QLineEdit>("txt_threshold");
    const QList<QLineEdit*> regularisation = {f.find<QLineEdit>("txt_minalfa"),
                                              f.find<QLineEdit>("txt_maxalfa"),
                                              f.find<QLineEdit>("txt_seqquot")};
    chooseMethod(f, 2);
    QCOMPARE(label->text(), QStringLiteral("Regularization parameter alpha (if < 0 then alpha is "
                                           "calculated other entered value is used)"));
    QVERIFY(label->isVisible() && threshold->isVisible());
    for (auto* field : regularisation) QVERIFY(field->isEnabled());
    QVERIFY(label->x() + label->width() < threshold->x());

    chooseMethod(f, 0);
    QVERIFY(!label->isVisible());
    QVERIFY(!threshold->isVisible());
    for (auto* field : regularisation) QVERIFY(!field->isEnabled());
    QCOMPARE(label->text(), QStringLiteral("Regularization parameter alpha (if < 0 then alpha is "
                                           "calculated other entered value is used)"));

    chooseMethod(f, 1);
    QVERIFY(label->isVisible() && threshold->isVisible());
    QCOMPARE(label->text(), QStringLiteral("Threshold for singular values (if < 0 then threshold "
                                           "is calculated other entered value is used)"));
    for (auto* field : regularisation) QVERIFY(!field->isEnabled());
}

void WindowRulesTest::leaving_a_field_checks_it_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    for (const char* field : {"txt_radius", "txt_nearest", "txt_threshold", "txt_minalfa",
                              "txt_maxalfa", "txt_seqquot", "txt_iter"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1 empty").arg(field)))
            << field << "" << "Parameter is required";
        QTest::newRow(qPrintable(QStringLiteral("%1 12a").arg(field)))
            << field << "12a" << "12a Is not a number";
    }
    QTest::newRow("txt_iter 10001") << "txt_iter" << "10001"
                                    << "Number of iteration must be in range 0 .. 10000";
    QTest::newRow("txt_iter -1") << "txt_iter" << "-1"
                                 << "Number of iteration must be in range 0 .. 10000";
    QTest::newRow("txt_iter 2.5") << "txt_iter" << "2.5" << "2.5 Is not a number";
    QTest::newRow("txt_radius 1,5") << "txt_radius" << "1,5" << "1,5 Is not a number";
}

void WindowRulesTest::leaving_a_field_checks_it() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    WindowFixture f;
    chooseMethod(f, 2);  // all six numeric fields enabled and shown
    activate(f);
    auto* edit = f.find<QLineEdit>(qPrintable(field));
    edit->setText(text);
    leave(edit, f.find<QWidget>("txt_in"));
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QCOMPARE(f.prompts->messages[0].text, message);
    QCOMPARE(f.prompts->messages[0].caption, QStringLiteral("Error"));
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(edit->text(), text);
}

void WindowRulesTest::two_bad_fields_do_not_pass_the_focus_back_and_forth() {
    WindowFixture f;
    activate(f);
    auto* radius = f.find<QLineEdit>("txt_radius");
    auto* nearest = f.find<QLineEdit>("txt_nearest");
    radius->clear();
    nearest->setText(QStringLiteral("x"));
    leave(radius, nearest);
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QCOMPARE(f.prompts->messages[0].text, QStringLiteral("Parameter is required"));
    QCOMPARE(QApplication::focusWidget(), radius);
    // Leaving again asks again: each leaving is checked once.
    radius->setText(QStringLiteral("5"));
    leave(radius, nearest);
    leave(nearest, radius);
    QCOMPARE(f.prompts->messages.size(), std::size_t{2});
    QCOMPARE(f.prompts->messages[1].text, QStringLiteral("x Is not a number"));
    QCOMPARE(QApplication::focusWidget(), nearest);
}

void WindowRulesTest::check_ignores_valid_text_and_decimal_comma() {
    WindowFixture f;
    activate(f);
    auto* radius = f.find<QLineEdit>("txt_radius");
    for (const char* text : {"250", "-1", "1.5E3", "1E-10"}) {
        radius->setText(QLatin1String(text));
        leave(radius, f.find<QWidget>("txt_in"));
    }
    QVERIFY(f.prompts->messages.empty());
    // txt_npoints is converted only at Calc.
    auto* npoints = f.find<QLineEdit>("txt_npoints");
    npoints->setText(QStringLiteral("many"));
    leave(npoints, f.find<QWidget>("txt_in"));
    QVERIFY(f.prompts->messages.empty());
}

// Under a number format with a decimal comma the creation values show it, and only it
// makes a decimal number.
void WindowRulesTest::a_decimal_comma_is_shown_and_checked() {
    WindowFixture f({}, ',');
    QCOMPARE(f.find<QLineEdit>("txt_alpha")->text(), QStringLiteral("0,01"));
    QCOMPARE(f.find<QLineEdit>("txt_minalfa")->text(), QStringLiteral("1E-10"));
    activate(f);
    auto* radius = f.find<QLineEdit>("txt_radius");
    radius->setText(QStringLiteral("12,5"));
    leave(radius, f.find<QWidget>("txt_in"));
    QVERIFY(f.prompts->messages.empty());
    radius->setText(QStringLiteral("12.5"));
    leave(radius, f.find<QWidget>("txt_in"));
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QCOMPARE(f.prompts->messages[0].text, QStringLiteral("12.5 Is not a number"));
}

QTEST_MAIN(WindowRulesTest)
#include "window_rules_test.moc"
