// "Drive list" (dialog 144): the operator picks a folder in the tree of every drive. It holds
// one path: the starting folder before it runs, the chosen folder after OK. Cancel leaves the
// path as it was, so the caller's folder stays.
#pragma once

#include "panes/LocalDisk.h"
#include "panes/TimedDiskCalls.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace qel::ui {

class CDriveTree;

class CDirListDlg final : public QDialog {
    Q_OBJECT
  public:
    enum ControlId { IDC_DRIVE_TREE = 1071 };

    explicit CDirListDlg(QWidget* parent = nullptr, std::shared_ptr<LocalDisk> disk = nullptr,
                         std::chrono::milliseconds diskLimit = TimedDiskCalls::kDefaultLimit);

    // The dialog run at start: the folder chosen, or nothing on Cancel.
    static std::optional<QString> choose(QWidget* parent, const QString& start);

    void setPath(const QString& path) { path_ = path; }
    const QString& path() const { return path_; }

    CDriveTree* tree() const { return tree_; }
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    CDriveTree* tree_;
    QString path_;
    bool initialised_ = false;
};

}  // namespace qel::ui
