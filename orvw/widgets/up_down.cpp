#include "orvw/widgets/up_down.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>

UpDown::UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent), buddy_(buddy), minimum_(minimum), maximum_(maximum), position_(minimum) {
    up_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_ = new QToolButton(this);
    down_->setArrowType(Qt::DownArrow);
    for (auto* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    connect(up_, &QToolButton::clicked, this, [this] { step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
    setFocusPolicy(Qt::StrongFocus);
}

int UpDown::position() const {
    bool ok = false;
    const int value = buddy_->text().toInt(&ok);
    if (ok && value >= minimum_ && value <= maximum_) return value;
    return position_;
}

void UpDown::setPosition(int value) {
    position_ = qBound(minimum_, value, maximum_);
    buddy_->setText(QString::number(position_));
}

void UpDown::step(int delta) {
    setPosition(position() + delta);
}

void UpDown::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        step(1);
    } else if (event->key() == Qt::Key_Down) {
        step(-1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

// The arrows leave a one-pixel rim, where the focus is shown: keys step the count only
// when this control has it, and the user must see that.
void UpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int inner_height = height() - 2;
    const int half = inner_height / 2;
    up_->setGeometry(1, 1, width() - 2, half);
    down_->setGeometry(1, 1 + half, width() - 2, inner_height - half);
}

void UpDown::paintEvent(QPaintEvent*) {
    if (!hasFocus()) return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Highlight));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void UpDown::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void UpDown::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}
