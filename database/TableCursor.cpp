#include "database/TableCursor.h"

#include "database/DatabaseEngine.h"
#include "database/DatabaseError.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlTableModel>

namespace {
const char *const KeyField = "Index";
}

TableCursor::TableCursor(QObject *parent)
    : QObject(parent)
{ }

TableCursor::~TableCursor() = default;

void TableCursor::open(const QSqlDatabase &db, const QString &tableName)
{
    delete m_model;
    m_tableName = tableName;
    m_model = new QSqlTableModel(this, db);
    m_model->setEditStrategy(QSqlTableModel::OnManualSubmit);
    // The dot in the file-like table name must not read as a schema.
    m_model->setTable(DatabaseEngine::tableReference(db, tableName));
    QString error;
    if (m_model->record().isEmpty()) {
        error = QStringLiteral("Таблица \"%1\" не найдена").arg(tableName);
    } else {
        m_model->setSort(m_model->fieldIndex(QLatin1String(KeyField)), Qt::AscendingOrder);
        if (!m_model->select())
            error = QStringLiteral("Ошибка открытия таблицы \"%1\": %2")
                        .arg(tableName, m_model->lastError().text());
    }
    if (!error.isEmpty()) {
        const QString engine = m_model->lastError().text();
        delete m_model;
        m_model = nullptr;
        m_row = -1;
        throwDatabaseError(error,
            QStringLiteral("cannot open table %1: %2")
                .arg(tableName, engine.isEmpty() ? QStringLiteral("no such table") : engine));
    }
    m_inserting = false;
    m_positionChosen = false;
    m_row = m_model->rowCount() > 0 ? 0 : -1;
    emit dataReloaded();
    emit currentRowChanged(m_row);
}

bool TableCursor::isOpen() const
{
    return m_model != nullptr;
}

int TableCursor::fieldIndex(const QString &field) const
{
    return m_model ? m_model->fieldIndex(field) : -1;
}

int TableCursor::rowCount() const
{
    return m_model ? m_model->rowCount() : 0;
}

void TableCursor::fetchAll()
{
    while (m_model->canFetchMore())
        m_model->fetchMore();
}

bool TableCursor::newRecordTouched() const
{
    for (int c = 0; c < m_model->columnCount(); ++c)
        if (!m_model->data(m_model->index(m_row, c), Qt::EditRole).isNull())
            return true;
    return false;
}

void TableCursor::setCurrentRow(int row)
{
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return;
    m_positionChosen = true;
    if (row == m_row)
        return;
    if (m_inserting) {
        // A new record that got no input is dropped when the cursor leaves it;
        // one with input is stored, as any edited record.
        if (!newRecordTouched()) {
            cancel();
            if (row >= m_model->rowCount())
                row = m_model->rowCount() - 1;
            m_row = row;
            emit currentRowChanged(m_row);
            return;
        }
    }
    if (isModified()) {
        // Storing re-reads the table, which may shift rows: find the target by key.
        const QVariant target
            = m_model->data(m_model->index(row, fieldIndex(QLatin1String(KeyField))), Qt::EditRole);
        post();
        if (!target.isNull() && locateIndex(target.toInt()))
            return;
    }
    m_row = row;
    emit currentRowChanged(m_row);
}

void TableCursor::first()
{
    if (m_model && m_model->rowCount() > 0)
        setCurrentRow(0);
}

void TableCursor::last()
{
    if (!m_model)
        return;
    fetchAll();
    if (m_model->rowCount() > 0)
        setCurrentRow(m_model->rowCount() - 1);
}

bool TableCursor::locateIndex(int index)
{
    if (!m_model)
        return false;
    const int key = fieldIndex(QLatin1String(KeyField));
    fetchAll();
    for (int r = 0; r < m_model->rowCount(); ++r) {
        if (m_model->data(m_model->index(r, key), Qt::EditRole).toInt() == index) {
            m_positionChosen = true;
            if (r != m_row) {
                m_row = r;
                emit currentRowChanged(m_row);
            }
            return true;
        }
    }
    return false;
}

void TableCursor::insert()
{
    if (!m_model)
        return;
    if (m_inserting)
        return; // one pending new record at a time
    refuseIfReadOnly();
    last();
    if (isModified())
        post();
    const int row = m_model->rowCount();
    if (!m_model->insertRow(row))
        throwLastError(QStringLiteral("Ошибка добавления записи"),
            QStringLiteral("cannot add a record to %1").arg(m_tableName));
    m_inserting = true;
    m_positionChosen = true;
    m_row = row;
    emit currentRowChanged(m_row);
}

void TableCursor::post()
{
    if (!m_model || !isModified()) {
        m_inserting = false;
        return;
    }
    refuseIfReadOnly();
    const bool wasInserting = m_inserting;
    const QVariant key = m_row >= 0 ? value(QLatin1String(KeyField)) : QVariant();
    if (!m_model->submitAll())
        throwLastError(QStringLiteral("Ошибка записи в таблицу \"%1\"").arg(m_tableName),
            QStringLiteral("cannot write to table %1").arg(m_tableName));
    m_inserting = false;
    fetchAll();
    // The table re-read itself; stand on the stored record again.
    m_row = -1;
    if (wasInserting || key.isNull()) {
        m_row = m_model->rowCount() - 1;
    } else if (!locateIndex(key.toInt())) {
        m_row = m_model->rowCount() > 0 ? 0 : -1;
    }
    emit dataReloaded();
    emit currentRowChanged(m_row);
}

void TableCursor::postPending()
{
    if (!m_model)
        return;
    if (m_inserting && m_row >= 0 && !newRecordTouched()) {
        cancel();
        return;
    }
    post();
}

void TableCursor::cancel()
{
    if (!m_model)
        return;
    revertPending();
    m_inserting = false;
    if (m_row >= m_model->rowCount())
        m_row = m_model->rowCount() - 1;
    emit currentRowChanged(m_row);
}

void TableCursor::revertPending()
{
    // Re-reading drops every pending change; reverting a new row in place
    // corrupts the model's cache in this Qt version.
    m_model->select();
    fetchAll();
    emit dataReloaded();
}

void TableCursor::deleteCurrent()
{
    if (!m_model || m_row < 0)
        return;
    if (m_inserting) {
        cancel();
        return;
    }
    refuseIfReadOnly();
    if (isModified())
        revertPending();
    const int row = m_row;
    m_model->removeRow(row);
    if (!m_model->submitAll()) {
        const QString error = m_model->lastError().text();
        revertPending();
        throwDatabaseError(
            QStringLiteral("Ошибка удаления записи из таблицы \"%1\": %2").arg(m_tableName, error),
            QStringLiteral("cannot delete from table %1: %2").arg(m_tableName, error));
    }
    fetchAll();
    m_row = qMin(row, m_model->rowCount() - 1);
    emit dataReloaded();
    emit currentRowChanged(m_row);
}

bool TableCursor::isModified() const
{
    return m_model && m_model->isDirty();
}

void TableCursor::refresh()
{
    if (!m_model)
        return;
    if (isModified())
        post();
    const QVariant key = m_row >= 0 ? value(QLatin1String(KeyField)) : QVariant();
    if (!m_model->select())
        throwLastError(QStringLiteral("Ошибка чтения таблицы \"%1\"").arg(m_tableName),
            QStringLiteral("cannot read table %1").arg(m_tableName));
    m_row = -1;
    // Only a key within the rows already read is looked for; a large table is
    // not read to its end just to keep the cursor.
    if (!key.isNull()) {
        const int col = fieldIndex(QLatin1String(KeyField));
        for (int r = 0; r < m_model->rowCount(); ++r) {
            if (m_model->data(m_model->index(r, col), Qt::EditRole) == key) {
                m_row = r;
                break;
            }
        }
    }
    if (m_row < 0) {
        m_positionChosen = false; // the chosen record is gone
        if (m_model->rowCount() > 0)
            m_row = 0;
    }
    emit dataReloaded();
    emit currentRowChanged(m_row);
}

int TableCursor::requireField(const QString &field) const
{
    const int col = fieldIndex(field);
    if (col < 0)
        throw ZelmorError(
            QStringLiteral("Поле \"%1\" не найдено в таблице \"%2\"").arg(field, m_tableName));
    return col;
}

QVariant TableCursor::value(const QString &field) const
{
    const int col = requireField(field);
    if (m_row < 0)
        return {};
    return m_model->data(m_model->index(m_row, col), Qt::EditRole);
}

int TableCursor::asInteger(const QString &field) const
{
    return qRound(value(field).toDouble());
}

double TableCursor::asFloat(const QString &field) const
{
    return value(field).toDouble();
}

QString TableCursor::asString(const QString &field) const
{
    return value(field).toString();
}

void TableCursor::setValue(const QString &field, const QVariant &value)
{
    const int col = requireField(field);
    if (m_row < 0)
        throw ZelmorError(QStringLiteral("Таблица \"%1\" пуста").arg(m_tableName));
    if (!m_model->setData(m_model->index(m_row, col), value, Qt::EditRole))
        throwLastError(QStringLiteral("Ошибка записи поля \"%1\"").arg(field),
            QStringLiteral("cannot set field %1 of %2").arg(field, m_tableName));
}

void TableCursor::refuseIfReadOnly() const
{
    if (!m_readOnlyReason.isEmpty())
        throw ZelmorError(m_readOnlyReason);
}

void TableCursor::throwLastError(const QString &what, const QString &logWhat) const
{
    const QString engine = m_model->lastError().text();
    throwDatabaseError(
        what + QStringLiteral(": ") + engine, logWhat + QStringLiteral(": ") + engine);
}
