// The local list as a Qt item model: one row per folder or file of the pane's listing, with the
// columns "Files & Folders" and "Size". It follows the listing's changes row by row, so that
// the view keeps its selection and scroll position across a refresh.
#pragma once

#include "panes/LocalListing.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <vector>

namespace qel::ui {

class LocalFilesModel final : public QAbstractTableModel, private LocalListingObserver {
    Q_OBJECT
  public:
    enum Column { NameColumn, SizeColumn, ColumnCount };
    enum Role {
        TagRole = Qt::UserRole + 1,  // 0 folder, 2 file
        ImageRole,                   // index into the shared image list
        SizeRole,                    // bytes, 64-bit
    };
    static constexpr int kFolderTag = 0;
    static constexpr int kFileTag = 2;

    explicit LocalFilesModel(LocalListing& listing, QObject* parent = nullptr);
    ~LocalFilesModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    void beginReset() override;
    void endReset() override;
    void beginRemove(size_t first, size_t last) override;
    void endRemove() override;
    void beginInsert(size_t first, size_t last) override;
    void endInsert() override;
    void changed(size_t first, size_t last) override;
    const QIcon& icon(int image) const;

    LocalListing& listing_;
    mutable std::vector<QIcon> icons_;  // made once per picture, not once per row
};

}  // namespace qel::ui
