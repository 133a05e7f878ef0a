#pragma once
// A pair of arrow buttons bound to an edit field that shows their position as a plain
// integer (no thousands separator), like a spin control whose text lives elsewhere.

#include <QWidget>

class QLineEdit;
class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent = nullptr);

    // The buddy's value when it reads as an integer within the range, otherwise the
    // last position set.
    int position() const;
    // Held within the range; the buddy shows it.
    void setPosition(int value);
    // One step up (+1) or down (-1) from the present position, held within the range.
    void step(int delta);

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    int minimum_;
    int maximum_;
    int position_;
};
