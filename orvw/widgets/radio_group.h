#pragma once
// A captioned group of radio buttons addressed by position, as the window's lists of
// models, methods and search modes are.

#include <QGroupBox>
#include <QStringList>
#include <vector>

class QRadioButton;

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    // items laid out in `columns` columns, filled row by row.
    RadioGroup(const QString& caption, const QStringList& items, int columns,
               QWidget* parent = nullptr);

    // Position of the checked item, -1 when none is checked.
    int itemIndex() const;
    // Checks the item at index; an index outside the list leaves none checked.
    void setItemIndex(int index);

    int count() const { return static_cast<int>(buttons_.size()); }
    QRadioButton* button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }

signals:
    // The user clicked an item (also when it was checked already).
    void itemClicked(int index);
    // The checked item changed, by the user or by the program.
    void indexChanged(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeButtons();

    std::vector<QRadioButton*> buttons_;
    int columns_;
    int last_index_ = -1;
};
