#include "panes/ui/PaneList.h"

#include "panes/LocalFileCommands.h"
#include "panes/ui/ImageList.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace qel::ui {

namespace {
constexpr const char* kReadyText = "Ready";
constexpr int kImageSize = 16;
constexpr int kGap = 4;
}  // namespace

PaneList::PaneList(QWidget* parent) : QTreeView(parent) {
    // The drag is started by the view (it keeps a selection of several items on the press
    // that begins it) and then carried on here; the desktop's drops are never taken.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setAcceptDrops(false);
    viewport()->setMouseTracking(true);
}

PaneList::~PaneList() {
    if (dragging_) endDrag(false);
}

void PaneList::addDropTarget(PaneList* target) {
    if (target != nullptr && target != this) targets_.emplace_back(target);
}

void PaneList::startDrag(Qt::DropActions) {
    if (dragging_ || targets_.empty() || model() == nullptr) return;
    QModelIndex item = pressed_.isValid() ? QModelIndex(pressed_) : currentIndex();
    if (!item.isValid()) return;
    item = item.siblingAtColumn(0);
    dragging_ = true;
    emit statusChanged(QString::fromLatin1(kDropStatusText));

    const bool several = selectionModel()->selectedRows().size() > 1;
    QWidget* top = window();
    picture_ = new QLabel(top);
    picture_->setObjectName(QStringLiteral("dragPicture"));
    picture_->setAttribute(Qt::WA_TransparentForMouseEvents);
    picture_->setPixmap(pictureOf(item, several));
    picture_->resize(picture_->pixmap().deviceIndependentSize().toSize());
    // The mouse keeps its place on the item: the picture's item part starts where the item's
    // text starts, less the mark.
    const QRect itemRect = visualRect(item);
    const QPoint mouse = viewport()->mapFromGlobal(lastMouse_);
    const QPoint pressAt = itemRect.contains(mouse) ? mouse : itemRect.center();
    pressOffset_ = pressAt - itemRect.topLeft() + QPoint(several ? kImageSize + kGap : 0, 0);
    // A wide column leaves the mouse far right of the text: the picture stays under it.
    pressOffset_.setX(std::clamp(pressOffset_.x(), 0, std::max(0, picture_->width() - kGap)));
    pressOffset_.setY(std::clamp(pressOffset_.y(), 0, picture_->height()));
    QGuiApplication::setOverrideCursor(Qt::ForbiddenCursor);
    cursorSet_ = true;
    moveDrag(viewport()->mapToGlobal(pressAt));
    picture_->show();
    picture_->raise();
}

QPixmap PaneList::pictureOf(const QModelIndex& item, bool several) const {
    const QIcon icon = item.data(Qt::DecorationRole).value<QIcon>();
    const QString text = item.data(Qt::DisplayRole).toString();
    const QFontMetrics metrics = fontMetrics();
    const int markWidth = several ? kImageSize + kGap : 0;
    const QSize size(markWidth + kImageSize + kGap + metrics.horizontalAdvance(text) + kGap,
                     std::max(kImageSize, metrics.height()) + 2);
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const int imageTop = (size.height() - kImageSize) / 2;
    if (several) {
        imageListIcon(kImageSeveralItems).paint(&painter, 0, imageTop, kImageSize, kImageSize);
    }
    // The item itself is drawn see-through, as it is being carried.
    painter.setOpacity(0.75);
    if (!icon.isNull()) icon.paint(&painter, markWidth, imageTop, kImageSize, kImageSize);
    painter.setPen(palette().color(QPalette::Text));
    painter.setFont(font());
    painter.drawText(QRect(markWidth + kImageSize + kGap, 0, size.width(), size.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
    return pixmap;
}

PaneList* PaneList::targetAt(const QPoint& global) const {
    QWidget* top = window();
    QWidget* under = top->childAt(top->mapFromGlobal(global));
    for (; under != nullptr; under = under->parentWidget()) {
        for (const QPointer<PaneList>& target : targets_) {
            if (target == under)
                return target->isEnabled() && target->isVisible() ? target : nullptr;
        }
        if (under == this) return nullptr;
    }
    return nullptr;
}

void PaneList::moveDrag(const QPoint& global) {
    PaneList* target = targetAt(global);
    int row = -1;
    if (target != nullptr) {
        row = target->indexAt(target->viewport()->mapFromGlobal(global)).row();
        if (!target->viewport()->rect().contains(target->viewport()->mapFromGlobal(global))) {
            row = -1;  // over the header
        }
    }
    if (target != hover_ || row != hoverRow_) {
        if (hover_) hover_->setDropRow(-1);
        hover_ = target;
        hoverRow_ = row;
        if (target != nullptr) target->setDropRow(row);
    }
    if (cursorSet_) {
        QGuiApplication::changeOverrideCursor(target != nullptr ? Qt::ArrowCursor
                                                                : Qt::ForbiddenCursor);
    }
    if (picture_ != nullptr) picture_->move(window()->mapFromGlobal(global) - pressOffset_);
}

void PaneList::setDropRow(int row) {
    if (row == dropRow_) return;
    dropRow_ = row;
    viewport()->update();
}

void PaneList::endDrag(bool drop) {
    dragging_ = false;
    pressed_ = QPersistentModelIndex();
    if (cursorSet_) {
        QGuiApplication::restoreOverrideCursor();
        cursorSet_ = false;
    }
    delete picture_.data();
    QPointer<PaneList> target = hover_;
    const int row = hoverRow_;
    if (hover_) hover_->setDropRow(-1);
    hover_ = nullptr;
    hoverRow_ = -1;
    setState(NoState);
    emit statusChanged(QString::fromLatin1(kReadyText));
    if (!drop || !target) return;
    // The transfer runs its window modally: it starts once the release is handled.
    QMetaObject::invokeMethod(
        this,
        [this, target, row] {
            if (target && target->isEnabled()) emit dropped(target, row);
        },
        Qt::QueuedConnection);
}

void PaneList::mousePressEvent(QMouseEvent* event) {
    if (dragging_) {
        event->accept();  // another button during the drag does nothing
        return;
    }
    pressed_ = indexAt(event->position().toPoint());
    QTreeView::mousePressEvent(event);
}

void PaneList::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        if ((event->buttons() & Qt::LeftButton) == 0) {
            endDrag(false);  // the release went elsewhere: the list lost the mouse
        } else {
            moveDrag(event->globalPosition().toPoint());
        }
        event->accept();
        return;
    }
    if (event->buttons() == Qt::NoButton) takeFocusFromMouse();
    lastMouse_ = event->globalPosition().toPoint();  // where a drag that starts now begins
    QTreeView::mouseMoveEvent(event);
}

void PaneList::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_) {
        if (event->button() == Qt::LeftButton) {
            moveDrag(event->globalPosition().toPoint());
            endDrag(true);
        }
        // The source keeps its selection: the view's own release is not run.
        event->accept();
        return;
    }
    QTreeView::mouseReleaseEvent(event);
}

void PaneList::takeFocusFromMouse() {
    // The pane under the mouse is the one the keyboard acts on, while the program has the focus.
    QWidget* focused = QApplication::focusWidget();
    if (focused == nullptr || focused == this || isAncestorOf(focused) || !isEnabled()) return;
    if (focused->window() != window()) return;
    setFocus(Qt::MouseFocusReason);
}

void PaneList::contextMenuEvent(QContextMenuEvent* event) {
    if (dragging_) return;
    const bool keyboard = event->reason() == QContextMenuEvent::Keyboard;
    const QPoint global = keyboard ? mapToGlobal(QPoint(5, 5)) : event->globalPos();
    const QModelIndex item = keyboard ? QModelIndex() : indexAt(viewport()->mapFromGlobal(global));
    emit menuRequested(global, item, keyboard);
    event->accept();
}

bool PaneList::viewportEvent(QEvent* event) {
    if (dragging_ && event->type() == QEvent::ContextMenu) return true;
    return QTreeView::viewportEvent(event);
}

bool PaneList::event(QEvent* event) {
    if (dragging_ && event->type() == QEvent::ContextMenu) return true;
    return QTreeView::event(event);
}

void PaneList::changeEvent(QEvent* event) {
    // Another window took the mouse: the drag ends without a drop.
    if (dragging_ && event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        endDrag(false);
    }
    if (event->type() == QEvent::EnabledChange && !isEnabled()) setDropRow(-1);
    QTreeView::changeEvent(event);
}

void PaneList::hideEvent(QHideEvent* event) {
    if (dragging_) endDrag(false);
    QTreeView::hideEvent(event);
}

void PaneList::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const {
    if (index.row() != dropRow_ || index.parent().isValid()) {
        QTreeView::drawRow(painter, option, index);
        return;
    }
    // The drop target looks selected, whatever the selection.
    QStyleOptionViewItem highlighted = option;
    highlighted.state |= QStyle::State_Selected;
    QTreeView::drawRow(painter, highlighted, index);
}

bool PaneList::editLabel(const QModelIndex& item) {
    edit(item, AllEditTriggers, nullptr);
    return editing();
}

bool PaneList::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool editingBefore = state() == EditingState;
    const bool started = QTreeView::edit(index, trigger, event);
    if (started && !editingBefore && state() == EditingState) {
        editRow_ = index.row();
        editText_ = index.siblingAtColumn(0).data(Qt::DisplayRole).toString();
        committed_.reset();
        emit labelEditStarted(editRow_);
    }
    return started;
}

void PaneList::commitData(QWidget* editor) {
    // The edited text is not written into the model: the pane renames, and its refresh shows
    // what the disk holds afterwards.
    const QMetaProperty text = editor->metaObject()->userProperty();
    committed_ = text.isValid() ? text.read(editor).toString() : QString();
}

void PaneList::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // Escape closes the editor, and hiding it then loses the focus, which asks again.
    if (editRow_ < 0) return;
    editRow_ = -1;
    QTreeView::closeEditor(editor, hint);
    const std::optional<QString> newText = std::move(committed_);
    committed_.reset();
    emit labelEditEnded(editText_, newText);
}

}  // namespace qel::ui
