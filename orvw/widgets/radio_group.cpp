#include "orvw/widgets/radio_group.h"

#include <QRadioButton>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionGroupBox>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns,
                       QWidget* parent)
    : QGroupBox(caption, parent), columns_(columns < 1 ? 1 : columns) {
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], this);
        buttons_.push_back(radio);
        connect(radio, &QRadioButton::clicked, this, [this, i] { emit itemClicked(i); });
        connect(radio, &QRadioButton::toggled, this, [this](bool) {
            const int now = itemIndex();
            if (now != last_index_) {
                last_index_ = now;
                emit indexChanged(now);
            }
        });
    }
    placeButtons();
}

int RadioGroup::itemIndex() const {
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i]->isChecked()) return static_cast<int>(i);
    return -1;
}

void RadioGroup::setItemIndex(int index) {
    if (index >= 0 && index < count()) {
        buttons_[static_cast<std::size_t>(index)]->setChecked(true);
        return;
    }
    // Auto-exclusive buttons refuse to be unchecked one by one; lift it for a moment.
    for (auto* radio : buttons_) {
        radio->setAutoExclusive(false);
        radio->setChecked(false);
        radio->setAutoExclusive(true);
    }
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    placeButtons();
}

// Items share the space inside the frame evenly, as a radio group of fixed size does.
// The frame is the style's: where it draws the caption and the line, no item may go.
void RadioGroup::placeButtons() {
    if (buttons_.empty()) return;
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QRect inside =
        style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, this);
    const int rows = (count() + columns_ - 1) / columns_;
    const int top = inside.top();
    const int left = inside.left() + 2;
    const int usable_width = inside.right() + 1 - left;
    const int usable_height = inside.bottom() + 1 - top;
    const int column_width = usable_width / columns_;
    const int row_height = usable_height / rows;
    const int button_height = qMin(row_height, buttons_[0]->sizeHint().height());
    for (int i = 0; i < count(); ++i) {
        const int row = i / columns_;
        const int column = i % columns_;
        const int y = top + row * row_height + (row_height - button_height) / 2;
        buttons_[static_cast<std::size_t>(i)]->setGeometry(left + column * column_width, y,
                                                           column_width, button_height);
    }
}
