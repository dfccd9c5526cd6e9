// The list control of both panes. Besides showing a pane's model it carries the drag between
// the panes, done inside the program with the mouse the list holds from the press to the
// release, not with the desktop's drag and drop: nothing can be dropped from or onto another
// program. While a drag lasts the dragged item's picture follows the mouse (with the mark of
// several items when more than one is selected), the item under the mouse in a list that takes
// the drop is highlighted, and the cursor says whether a drop there would do something. The
// list also tells of label editing and of its context menu, for the pane to act on.
#pragma once

#include <QAbstractItemDelegate>
#include <QLabel>
#include <QPointer>
#include <QTreeView>

#include <optional>
#include <vector>

namespace qel::ui {

class PaneList final : public QTreeView {
    Q_OBJECT
  public:
    explicit PaneList(QWidget* parent = nullptr);
    ~PaneList() override;

    // A list that a drag from this one may be dropped on (while it is enabled).
    void addDropTarget(PaneList* target);

    bool dragging() const { return dragging_; }
    // The row highlighted as the drop target, or -1.
    int dropRow() const { return dropRow_; }
    // Starts editing the label of item; false when it could not start.
    bool editLabel(const QModelIndex& item);
    bool editing() const { return state() == EditingState; }
    // The dragged item's picture while a drag lasts, else null.
    const QLabel* dragPicture() const { return picture_.data(); }

  signals:
    void statusChanged(const QString& text);
    // After a drag from this list ended over target, with the row under the mouse there (-1
    // for none); on a later turn of the event loop, once the mouse is released.
    void dropped(PaneList* target, int row);
    // The context menu is asked for at global, on item (none from the keyboard or below the
    // items).
    void menuRequested(const QPoint& global, const QModelIndex& item, bool fromKeyboard);
    // Label editing of an item began, and ended: newText is empty when it was cancelled.
    void labelEditStarted(int row);
    void labelEditEnded(const QString& oldText, const std::optional<QString>& newText);

  protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

  private:
    QPixmap pictureOf(const QModelIndex& item, bool several) const;
    PaneList* targetAt(const QPoint& global) const;
    void moveDrag(const QPoint& global);
    void setDropRow(int row);
    // The drag ends; with drop, a drop on the list under the mouse follows.
    void endDrag(bool drop);
    void takeFocusFromMouse();

    std::vector<QPointer<PaneList>> targets_;
    bool dragging_ = false;
    bool cursorSet_ = false;
    QPersistentModelIndex pressed_;
    QPoint lastMouse_;
    QPoint pressOffset_;  // the mouse within the dragged item's picture
    QPointer<QLabel> picture_;
    QPointer<PaneList> hover_;
    int hoverRow_ = -1;
    int dropRow_ = -1;
    int editRow_ = -1;
    QString editText_;
    std::optional<QString> committed_;
};

}  // namespace qel::ui
