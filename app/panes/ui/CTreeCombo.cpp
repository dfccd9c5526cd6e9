#include "panes/ui/CTreeCombo.h"

#include "panes/ui/ImageList.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStylePainter>
#include <QStyledItemDelegate>

namespace qel::ui {

namespace {
constexpr int kIndentRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;
constexpr int kIconSize = 16;

// Draws an entry of the drop-down list moved right by its indent.
class IndentDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented(option);
        indented.rect.adjust(index.data(kIndentRole).toInt() * CTreeCombo::kIndentStep, 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += index.data(kIndentRole).toInt() * CTreeCombo::kIndentStep;
        size.setHeight(std::max(size.height(), kIconSize + 2));  // every entry at least 16 high
        return size;
    }
};
}  // namespace

CTreeCombo::CTreeCombo(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new IndentDelegate(this));
    setIconSize(QSize(kIconSize, kIconSize));
}

int CTreeCombo::AddItem(const QString& text, int image, int indent, const QVariant& data) {
    addItem(imageListIcon(image), text, data);
    const int index = count() - 1;
    setItemData(index, indent, kIndentRole);
    setItemData(index, image, kImageRole);
    return index;
}

int CTreeCombo::indentOf(int index) const {
    return itemData(index, kIndentRole).toInt();
}

int CTreeCombo::imageOf(int index) const {
    return itemData(index, kImageRole).toInt();
}

void CTreeCombo::paintEvent(QPaintEvent*) {
    // The closed field: the chosen entry's icon and text, never indented.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace qel::ui
