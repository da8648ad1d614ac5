// The device list as the window shows it: a check list of fixed-width lines, one per entry of
// the state's list view. The model keeps its own copy of the entries, so the view never reads
// a state that an operation is still changing; the copy is renewed only when the list was
// rebuilt (its revision changed), and texts are decoded only when a row is drawn, which keeps a
// rebuild of 999 rows cheap.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>
#include <functional>
#include <string>
#include <vector>

#include "devlist/list_view.h"

namespace ui {

class DeviceListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // Called when the operator toggled a row's box; the model does not change its copy, the
    // window shows the state the operation leaves.
    std::function<void(int row, bool checked)> onCheckToggled;
    // The tooltip of a row: the record's full fields, which the fixed columns cut.
    std::function<QString(int row)> toolTipOf;

    void resetEntries(const std::vector<devlist::ListEntry>& entries);
    // Takes over the check marks of an unchanged list; only changed rows are redrawn.
    void syncChecks(const std::vector<devlist::ListEntry>& entries);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QString rowText(int row) const;
    bool rowChecked(int row) const;

private:
    std::vector<std::string> m_texts;
    std::vector<char> m_checked;
    mutable std::vector<QString> m_decoded;
    mutable std::vector<char> m_isDecoded;
};

// Draws a row as the box followed by the text at a fixed offset, so that the text cells stand
// exactly under the column captions; toggles the box by mouse (on the box) or the space key.
class CheckListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 16;
    static constexpr int kTextOffset = 18;  // the list text starts 18 px right of the list edge
    // The cells of the widest line (the end of the "Message" column) and of one cell: a row is
    // as wide as that line, so the list scrolls sideways where the view is narrower.
    static constexpr int kLineCells = 127;
    static constexpr int kCellWidth = 8;
    static constexpr int kRowWidth = kTextOffset + kLineCells * kCellWidth + 4;

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    static QRect checkRect(const QRect& row);
};

class DeviceListView : public QListView {
    Q_OBJECT
public:
    explicit DeviceListView(QWidget* parent = nullptr);
    DeviceListModel* listModel() const { return m_model; }
    // The selected row, -1 for none.
    int selectedRow() const;
    // Selects a row (-1: none) and brings it into view.
    void selectRow(int row);

private:
    DeviceListModel* m_model;
};

}  // namespace ui
