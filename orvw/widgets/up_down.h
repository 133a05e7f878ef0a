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

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void step(int delta);

    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    int minimum_;
    int maximum_;
    int position_;
};
