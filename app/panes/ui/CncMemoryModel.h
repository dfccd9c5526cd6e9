// The CNC pane's list as an item model: one column, "Memories & Folders"; the items are kept in
// ascending order of their text (letters without regard to case), each with its picture of the
// shared image list and its tag.
#pragma once

#include "panes/CncPane.h"

#include <QAbstractTableModel>

#include <string>
#include <vector>

namespace qel::ui {

class CncMemoryModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Name = 0, ColumnCount };
    static constexpr int kTagRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Memories and memory types are dragged onto the local pane.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void setItems(std::vector<PaneItem> items);
    // The refresh: drops the items of gone (by text, without regard to case) and adds added.
    void update(const std::vector<std::string>& gone, const std::vector<PaneItem>& added);
    const PaneItem& item(int row) const { return items_.at(static_cast<size_t>(row)); }
    int rowOf(const std::string& text) const;
    std::vector<std::string> texts() const;

  private:
    static bool before(const PaneItem& a, const PaneItem& b);
    std::vector<PaneItem> items_;
};

}  // namespace qel::ui
