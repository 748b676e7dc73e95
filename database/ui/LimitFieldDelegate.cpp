#include "database/ui/LimitFieldDelegate.h"

#include "common/NumberText.h"
#include "widgets/MessageBoxes.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

QString LimitFieldDelegate::displayText(const QVariant &value)
{
    if (value.isNull() || value.toString().isEmpty())
        return {};
    bool ok = false;
    const double v = value.toDouble(&ok);
    return ok ? generalText(v) : value.toString();
}

void LimitFieldDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (!edit)
        return QStyledItemDelegate::setEditorData(editor, index);
    const QString text = displayText(index.data(Qt::EditRole));
    if (edit->text() != text)
        edit->setText(text);
}

void LimitFieldDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (!edit)
        return QStyledItemDelegate::setModelData(editor, model, index);
    const QString text = edit->text().trimmed();
    if (text == displayText(index.data(Qt::EditRole)))
        return; // untouched: leave the record as it is
    if (text.isEmpty()) {
        model->setData(index, QVariant(), Qt::EditRole);
        return;
    }
    if (const auto value = tryStrToFloat(text)) {
        model->setData(index, *value, Qt::EditRole);
        return;
    }
    // Told after the focus change has settled; the edit keeps the typed text.
    // Leaving the edit and closing the editor both hand the text over: the
    // operator is told once.
    const char *const pending = "refusalPending";
    if (edit->property(pending).toBool())
        return;
    edit->setProperty(pending, true);
    QPointer<QLineEdit> guard(edit);
    const QString message = QStringLiteral("'%1' is not a valid floating point value").arg(text);
    QTimer::singleShot(0, edit, [guard, message, pending] {
        if (!guard)
            return;
        MessageBoxes::warning(guard->window(), message);
        if (guard) {
            guard->setProperty(pending, false);
            guard->setFocus();
        }
    });
}
