#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

class QSqlTableModel;
class QSqlDatabase;

// One open table with one current record, shared by every control and caller
// that works on that table: grids, edits and lists are bound to model() and
// follow currentRowChanged(); moving in any of them moves the record all the
// others see. Failures throw ZelmorError with the engine's message.
class TableCursor : public QObject
{
    Q_OBJECT

public:
    explicit TableCursor(QObject *parent = nullptr);
    ~TableCursor() override;

    // Opens tableName (e.g. "models.DB") on db, ordered by its Index, and
    // stands on the first record.
    void open(const QSqlDatabase &db, const QString &tableName);
    bool isOpen() const;
    QString tableName() const { return m_tableName; }

    QSqlTableModel *model() const { return m_model; }
    int fieldIndex(const QString &field) const; // -1 when the table has no such field

    int currentRow() const { return m_row; } // -1 when the table is empty
    int rowCount() const;
    void setCurrentRow(int row); // posts a pending change of the record it leaves
    // False while the cursor stands where opening the table put it; true once
    // somebody chose a record (setCurrentRow, locateIndex, insert). Lists that
    // show "the chosen model" stay blank until then.
    bool isPositionChosen() const { return m_positionChosen; }
    void first();
    void last();
    bool locateIndex(int index); // moves to the record with this Index

    // Editing: insert() appends a new record at the end and stands on it;
    // post() stores pending changes (the table assigns Index); cancel() drops
    // them; deleteCurrent() removes the current record and stands on the next.
    void insert();
    void post();
    // Settles what is pending as leaving the record would: an edited record is
    // stored, a new record is stored when anything was typed into it and
    // dropped otherwise.
    void postPending();
    void cancel();
    void deleteCurrent();
    bool isModified() const;
    bool isInserting() const { return m_inserting; }

    // A table that may only be read: insert, post and delete are refused with
    // this reason (empty: writable).
    void setReadOnlyReason(const QString &reason) { m_readOnlyReason = reason; }
    QString readOnlyReason() const { return m_readOnlyReason; }

    // Re-reads the table after somebody changed it with a statement.
    void refresh();

    // Fields of the current record by name; an empty field reads as 0 / "".
    QVariant value(const QString &field) const;
    int asInteger(const QString &field) const;
    double asFloat(const QString &field) const;
    QString asString(const QString &field) const;
    void setValue(const QString &field, const QVariant &value);

signals:
    void currentRowChanged(int row);
    void dataReloaded();

private:
    int requireField(const QString &field) const;
    void fetchAll();
    void revertPending();
    bool newRecordTouched() const;
    void refuseIfReadOnly() const;
    [[noreturn]] void throwLastError(const QString &what, const QString &logWhat) const;

    QSqlTableModel *m_model = nullptr;
    QString m_tableName;
    int m_row = -1;
    bool m_inserting = false;
    bool m_positionChosen = false;
    QString m_readOnlyReason;
};
