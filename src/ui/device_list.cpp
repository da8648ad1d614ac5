#include "ui/device_list.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "platform/qt/qt_text.h"

namespace ui {

void DeviceListModel::resetEntries(const std::vector<devlist::ListEntry>& entries) {
    beginResetModel();
    m_texts.clear();
    m_texts.reserve(entries.size());
    m_checked.assign(entries.size(), 0);
    for (size_t i = 0; i < entries.size(); ++i) {
        m_texts.push_back(entries[i].text);
        m_checked[i] = entries[i].checked ? 1 : 0;
    }
    m_decoded.assign(entries.size(), QString());
    m_isDecoded.assign(entries.size(), 0);
    endResetModel();
}

void DeviceListModel::syncChecks(const std::vector<devlist::ListEntry>& entries) {
    const size_t n = std::min(entries.size(), m_checked.size());
    for (size_t i = 0; i < n; ++i) {
        char c = entries[i].checked ? 1 : 0;
        if (m_checked[i] == c) continue;
        m_checked[i] = c;
        QModelIndex at = index(static_cast<int>(i));
        emit dataChanged(at, at, {Qt::CheckStateRole});
    }
}

int DeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_texts.size());
}

QString DeviceListModel::rowText(int row) const {
    if (row < 0 || row >= rowCount()) return {};
    auto r = static_cast<size_t>(row);
    if (!m_isDecoded[r]) {
        m_decoded[r] = QString::fromStdString(devlist::DisplayCells(m_texts[r]));
        m_isDecoded[r] = 1;
    }
    return m_decoded[r];
}

bool DeviceListModel::rowChecked(int row) const {
    return row >= 0 && row < rowCount() && m_checked[static_cast<size_t>(row)];
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return rowText(index.row());
        case Qt::CheckStateRole:
            return rowChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
        case Qt::ToolTipRole:
            return toolTipOf ? toolTipOf(index.row()) : QVariant();
        default:
            return {};
    }
}

bool DeviceListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.row() >= rowCount()) return false;
    bool on = value.toInt() == Qt::Checked;
    if (onCheckToggled) onCheckToggled(index.row(), on);
    return true;
}

Qt::ItemFlags DeviceListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

QRect CheckListDelegate::checkRect(const QRect& row) {
    return QRect(row.left() + 2, row.top() + (row.height() - 13) / 2, 13, 13);
}

void CheckListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));

    // The box is drawn here rather than by the style: styles draw it in the text colour,
    // which leaves a bare tick on the dark list.
    const bool enabled = option.state & QStyle::State_Enabled;
    QRect box = checkRect(option.rect);
    painter->setPen(QColor(128, 128, 128));
    painter->setBrush(enabled ? QColor(Qt::white) : QColor(192, 192, 192));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    if (index.data(Qt::CheckStateRole).toInt() == Qt::Checked) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(QColor(0, 0, 0), 2));
        const QPointF tick[3] = {QPointF(box.left() + 3, box.top() + 6.5),
                                 QPointF(box.left() + 5.5, box.top() + 9),
                                 QPointF(box.left() + 10, box.top() + 3.5)};
        painter->drawPolyline(tick, 3);
        painter->setRenderHint(QPainter::Antialiasing, false);
    }

    painter->setFont(option.font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    QRect textRect = option.rect.adjusted(kTextOffset, 0, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(option.palette.color(QPalette::Text), 1, Qt::DotLine));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QSize CheckListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    // At least as wide as the view, so a selected row is marked across it.
    return QSize(std::max(option.rect.width(), kRowWidth), kRowHeight);
}

bool CheckListDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (!(index.flags() & Qt::ItemIsUserCheckable) || !(index.flags() & Qt::ItemIsEnabled)) {
        return false;
    }
    // The box and the margin around it take the click, so a slightly missed box still counts.
    QRect hit(option.rect.left(), option.rect.top(), kTextOffset, option.rect.height());
    switch (event->type()) {
        case QEvent::MouseButtonRelease: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() != Qt::LeftButton || !hit.contains(me->position().toPoint())) {
                return false;
            }
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* me = static_cast<QMouseEvent*>(event);
            // Swallowed so that a double click on the box does not toggle it twice.
            return event->type() == QEvent::MouseButtonDblClick && me->button() == Qt::LeftButton &&
                   hit.contains(me->position().toPoint());
        }
        case QEvent::KeyPress: {
            auto key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Space && key != Qt::Key_Select) return false;
            break;
        }
        default:
            return false;
    }
    bool on = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    return model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

DeviceListView::DeviceListView(QWidget* parent)
    : QListView(parent), m_model(new DeviceListModel(this)) {
    setModel(m_model);
    setItemDelegate(new CheckListDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The vertical scroll bar covers the end of the "Message" column: the list scrolls sideways.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    setLayoutMode(QListView::SinglePass);
}

int DeviceListView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void DeviceListView::selectRow(int row) {
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clear();
        return;
    }
    QModelIndex at = m_model->index(row);
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
    scrollTo(at);
}

}  // namespace ui
