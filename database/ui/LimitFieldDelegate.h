#pragma once

#include <QStyledItemDelegate>

// Shows a number field in an edit as the program writes numbers (decimal
// separator of the format settings, no trailing zeros) and takes a typed
// text back only when it is a number; anything else is refused with the
// conversion message and the field keeps its value.
class LimitFieldDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    static QString displayText(const QVariant &value);
};
