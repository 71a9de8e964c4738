#include "datastore/DataSet.h"

#include "datastore/DatabaseError.h"
#include "datastore/DbConnection.h"
#include "datastore/Schema.h"
#include "datastore/SqlValue.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

Q_LOGGING_CATEGORY(lcDataSet, "tolvane.dataset")

namespace {

QString parameterName(const QString& name)
{
    return name.startsWith(u':') ? name : u':' + name;
}

bool isIdentifier(const QString& name)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return identifier.match(name).hasMatch();
}

DatabaseError statementError(const QSqlQuery& query, const QString& sql)
{
    return DatabaseError(query.lastError().text() + QStringLiteral(" [") + sql.trimmed() + u']');
}

} // namespace

DataSet::DataSet(const QString& name, QObject* parent) : QAbstractTableModel(parent), m_name(name) {}

DataSet::~DataSet()
{
    m_prepared.reset();
    if (m_connection && m_closeListener >= 0)
        m_connection->removeCloseListener(m_closeListener);
}

void DataSet::setConnection(DbConnection* connection)
{
    if (connection == m_connection)
        return;
    close();
    if (m_connection && m_closeListener >= 0)
        m_connection->removeCloseListener(m_closeListener);
    m_connection = connection;
    m_closeListener = connection ? connection->addCloseListener([this] { close(); }) : -1;
}

Engine DataSet::engine() const
{
    return m_connection ? m_connection->engine() : Engine::None;
}

void DataSet::setSql(const QString& text)
{
    closeRows();
    if (text != m_sql)
        m_prepared.reset();
    m_sql = text;
    m_params.clear();
}

void DataSet::bindValue(const QString& name, const QVariant& value)
{
    const QString key = parameterName(name);
    for (auto& p : m_params) {
        if (p.first.compare(key, Qt::CaseInsensitive) == 0) {
            p.second = value;
            return;
        }
    }
    m_params.append({key, value});
}

QVariant DataSet::boundValue(const QString& name) const
{
    const QString key = parameterName(name);
    for (const auto& p : m_params) {
        if (p.first.compare(key, Qt::CaseInsensitive) == 0)
            return p.second;
    }
    return {};
}

void DataSet::clearParameters()
{
    m_params.clear();
}

QSqlQuery DataSet::run(bool forwardOnly) const
{
    if (!m_connection || !m_connection->isOpen())
        throw DatabaseError(QStringLiteral("%1: the database connection is not open").arg(m_name));
    QSqlQuery q(m_connection->database());
    q.setForwardOnly(forwardOnly);
    bool ok;
    if (m_params.isEmpty()) {
        // Without parameters the text runs as it stands, so a colon inside a quoted value is never taken
        // for a parameter.
        ok = q.exec(m_sql);
    } else {
        ok = q.prepare(m_sql);
        if (ok) {
            for (const auto& [name, value] : m_params)
                q.bindValue(name, SqlValue::toBindable(value, m_connection->engine()));
            ok = q.exec();
        }
    }
    if (!ok)
        throw statementError(q, m_sql);
    return q;
}

void DataSet::readColumns(const QSqlQuery& query)
{
    const QSqlRecord record = query.record();
    m_columns.clear();
    m_columnIndex.clear();
    for (int i = 0; i < record.count(); ++i) {
        Column c;
        c.name = record.fieldName(i);
        const int type = record.field(i).metaType().id();
        c.dateTime = type == QMetaType::QDateTime || SqlValue::isDateTimeColumn(c.name);
        c.boolean = type == QMetaType::Bool;
        // A name that comes twice (the "id" of both sides of a join) reads the first.
        if (!m_columnIndex.contains(c.name.toLower()))
            m_columnIndex.insert(c.name.toLower(), i);
        m_columns.append(c);
    }
}

void DataSet::fetch()
{
    QSqlQuery q = run(true);
    readColumns(q);
    const int columns = static_cast<int>(m_columns.size());
    m_values.clear();
    m_rowCount = 0;
    // Date-time cells stay as the engine gave them and are converted when read (value()): turning every
    // cell of a large list into a local QDateTime would cost more than reading the list.
    while (q.next()) {
        for (int c = 0; c < columns; ++c) {
            if (q.isNull(c))
                m_values.append(QVariant());
            else if (m_columns[c].dateTime)
                m_values.append(q.value(c));
            else
                m_values.append(SqlValue::fromResult(q.value(c), false, false));
        }
        ++m_rowCount;
    }
    m_pendingFetch = false;
    m_row = m_rowCount > 0 ? 0 : -1;
    m_bof = true;
    m_eof = m_rowCount == 0;
}

void DataSet::ensureFetched() const
{
    if (!m_pendingFetch)
        return;
    auto* self = const_cast<DataSet*>(this);
    try {
        self->fetch();
    } catch (const DatabaseError& e) {
        qCWarning(lcDataSet) << m_name << "could not read its rows:" << e.message();
        self->m_pendingFetch = false;
        self->m_rowCount = 0;
        self->m_row = -1;
        self->m_eof = self->m_bof = true;
    }
}

void DataSet::open()
{
    close();
    if (m_master)
        followMaster();
    beginResetModel();
    try {
        if (m_fetch == Fetch::OnFirstUse) {
            if (!m_connection || !m_connection->isOpen())
                throw DatabaseError(QStringLiteral("%1: the database connection is not open").arg(m_name));
            QSqlQuery check(m_connection->database());
            if (!check.prepare(m_sql))
                throw statementError(check, m_sql);
            m_pendingFetch = true;
        } else {
            fetch();
        }
    } catch (...) {
        m_columns.clear();
        m_columnIndex.clear();
        m_values.clear();
        m_rowCount = 0;
        endResetModel();
        throw;
    }
    m_open = true;
    m_state = State::Browse;
    m_followingMaster = m_master != nullptr;
    endResetModel();
    Q_EMIT afterOpen();
    Q_EMIT afterScroll();
}

int DataSet::execSql()
{
    closeRows();
    if (!m_connection || !m_connection->isOpen())
        throw DatabaseError(QStringLiteral("%1: the database connection is not open").arg(m_name));
    if (!m_prepared || m_preparedSql != m_sql) {
        m_prepared = std::make_unique<QSqlQuery>(m_connection->database());
        m_preparedSql = m_sql;
        if (!m_params.isEmpty() && !m_prepared->prepare(m_sql)) {
            const DatabaseError error = statementError(*m_prepared, m_sql);
            m_prepared.reset();
            throw error;
        }
    }
    bool ok;
    if (m_params.isEmpty()) {
        ok = m_prepared->exec(m_sql);
        if (ok)
            m_prepared.reset(); // a text without parameters is not kept prepared
    } else {
        for (const auto& [name, value] : m_params)
            m_prepared->bindValue(name, SqlValue::toBindable(value, m_connection->engine()));
        ok = m_prepared->exec();
    }
    if (!ok) {
        const DatabaseError error = statementError(*m_prepared, m_sql);
        m_prepared.reset();
        throw error;
    }
    const int affected = m_prepared ? m_prepared->numRowsAffected() : 0;
    if (m_prepared)
        m_prepared->finish();
    return affected;
}

void DataSet::close()
{
    m_followingMaster = false;
    m_prepared.reset();
    closeRows();
}

void DataSet::closeRows()
{
    if (!m_open && m_state == State::Inactive)
        return;
    beginResetModel();
    m_open = false;
    m_pendingFetch = false;
    m_state = State::Inactive;
    m_changes.clear();
    m_values.clear();
    m_rowCount = 0;
    m_row = -1;
    m_eof = m_bof = true;
    endResetModel();
    Q_EMIT afterClose();
}

void DataSet::requery()
{
    open();
}

int DataSet::recordCount() const
{
    ensureFetched();
    return m_open ? m_rowCount : 0;
}

int DataSet::recNo() const
{
    ensureFetched();
    return m_open ? m_row : -1;
}

bool DataSet::eof() const
{
    ensureFetched();
    return !m_open || m_eof;
}

bool DataSet::bof() const
{
    ensureFetched();
    return !m_open || m_bof;
}

void DataSet::setCurrent(int row)
{
    m_row = row;
    Q_EMIT afterScroll();
}

void DataSet::first()
{
    ensureFetched();
    if (!m_open)
        return;
    m_bof = true;
    m_eof = m_rowCount == 0;
    setCurrent(m_rowCount > 0 ? 0 : -1);
}

void DataSet::last()
{
    ensureFetched();
    if (!m_open)
        return;
    m_eof = true;
    m_bof = m_rowCount == 0;
    setCurrent(m_rowCount - 1);
}

void DataSet::next()
{
    ensureFetched();
    if (!m_open)
        return;
    if (m_row + 1 < m_rowCount) {
        m_bof = false;
        setCurrent(m_row + 1);
    } else {
        m_eof = true;
    }
}

void DataSet::prior()
{
    ensureFetched();
    if (!m_open)
        return;
    if (m_row > 0) {
        m_eof = false;
        setCurrent(m_row - 1);
    } else {
        m_bof = true;
    }
}

bool DataSet::moveTo(int row)
{
    ensureFetched();
    if (!m_open || row < 0 || row >= m_rowCount)
        return false;
    m_bof = m_eof = false;
    setCurrent(row);
    return true;
}

int DataSet::fieldCount() const
{
    ensureFetched();
    return static_cast<int>(m_columns.size());
}

QStringList DataSet::fieldNames() const
{
    ensureFetched();
    QStringList names;
    for (const Column& c : m_columns)
        names.append(c.name);
    return names;
}

int DataSet::fieldIndex(const QString& name) const
{
    ensureFetched();
    return m_columnIndex.value(name.toLower(), -1);
}

void DataSet::requireOpen(const char* what) const
{
    if (!m_open)
        throw DatabaseError(QStringLiteral("%1: %2 on a closed data set").arg(m_name, QLatin1String(what)));
}

QVariant DataSet::value(int row, int column) const
{
    ensureFetched();
    if (!m_open || row < 0 || row >= m_rowCount || column < 0 || column >= m_columns.size())
        return {};
    if (row == m_row && m_state != State::Browse && m_changes.contains(column))
        return m_changes.value(column);
    if (m_state == State::Insert && row == m_row)
        return {};
    const QVariant& stored = m_values.at(row * m_columns.size() + column);
    if (m_columns[column].dateTime && stored.isValid())
        return SqlValue::fromResult(stored, false, true);
    return stored;
}

QVariant DataSet::value(int row, const QString& name) const
{
    const int column = fieldIndex(name);
    if (column < 0 && m_open)
        throw DatabaseError(QStringLiteral("%1: field '%2' not found").arg(m_name, name));
    return value(row, column);
}

QVariant DataSet::field(const QString& name) const
{
    const int column = fieldIndex(name);
    if (column < 0) {
        if (!m_open)
            return {};
        throw DatabaseError(QStringLiteral("%1: field '%2' not found").arg(m_name, name));
    }
    if (m_state == State::Insert)
        return m_changes.value(column);
    return value(m_row, column);
}

bool DataSet::locate(const QString& fieldName, const QVariant& wanted, LocateOptions options)
{
    const int column = fieldIndex(fieldName);
    if (!m_open || column < 0)
        return false;
    const Qt::CaseSensitivity cs = options.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QString wantedText = wanted.toString();
    for (int row = 0; row < m_rowCount; ++row) {
        const QVariant v =
            m_columns[column].dateTime ? value(row, column) : m_values.at(row * m_columns.size() + column);
        bool match;
        if (options.partialKey)
            match = v.isValid() && v.toString().startsWith(wantedText, cs);
        else if (v.typeId() == QMetaType::QString || wanted.typeId() == QMetaType::QString)
            match = v.isValid() && v.toString().compare(wantedText, cs) == 0;
        else
            match = v == wanted;
        if (match) {
            moveTo(row);
            return true;
        }
    }
    return false;
}

void DataSet::setUpdateTable(const QString& table, const QString& keyField)
{
    m_updateTable = table;
    m_updateKey = keyField;
}

void DataSet::resolveUpdateTable(QString* table, QString* key) const
{
    *table = m_updateTable;
    *key = m_updateKey;
    if (table->isEmpty()) {
        static const QRegularExpression from(QStringLiteral("\\bfrom\\s+([A-Za-z_][A-Za-z0-9_]*)"),
                                             QRegularExpression::CaseInsensitiveOption);
        *table = from.match(m_sql).captured(1).toLower();
        *key = Schema::keyColumn(*table);
    }
    if (!isIdentifier(*table) || !isIdentifier(*key))
        throw DatabaseError(QStringLiteral("%1: no table to write the row to").arg(m_name));
}

void DataSet::edit()
{
    requireOpen("edit");
    ensureFetched();
    if (m_state != State::Browse)
        return;
    if (m_row < 0)
        throw DatabaseError(QStringLiteral("%1: no row to edit").arg(m_name));
    m_changes.clear();
    m_state = State::Edit;
}

void DataSet::append()
{
    requireOpen("append");
    ensureFetched();
    m_changes.clear();
    m_state = State::Insert;
}

void DataSet::setField(const QString& name, const QVariant& value)
{
    if (m_state != State::Edit && m_state != State::Insert)
        throw DatabaseError(QStringLiteral("%1: not in edit mode").arg(m_name));
    const int column = fieldIndex(name);
    if (column < 0)
        throw DatabaseError(QStringLiteral("%1: field '%2' not found").arg(m_name, name));
    m_changes.insert(column, normalised(column, value));
}

QVariant DataSet::normalised(int column, const QVariant& value) const
{
    if (!value.isValid())
        return {};
    if (m_columns[column].dateTime) {
        if (value.typeId() == QMetaType::QString) {
            const QDateTime dt = SqlValue::parse(value.toString());
            return dt.isValid() ? QVariant(dt) : value;
        }
        if (value.typeId() == QMetaType::QDateTime || value.typeId() == QMetaType::QDate)
            return QVariant(value.toDateTime().toLocalTime());
    }
    if (m_columns[column].boolean || value.typeId() == QMetaType::Bool)
        return QVariant(value.toBool() ? 1 : 0);
    return value;
}

QVariant DataSet::bindableFor(int column, const QVariant& value) const
{
    if (m_columns[column].boolean && engine() == Engine::PostgreSQL && value.isValid())
        return QVariant(value.toBool());
    return SqlValue::toBindable(value, engine());
}

void DataSet::post()
{
    if (m_state == State::Edit)
        postEdit();
    else if (m_state == State::Insert)
        postInsert();
}

void DataSet::postEdit()
{
    if (m_changes.isEmpty()) {
        m_state = State::Browse;
        return;
    }
    QString table, key;
    resolveUpdateTable(&table, &key);
    const int keyColumn = fieldIndex(key);
    if (keyColumn < 0)
        throw DatabaseError(QStringLiteral("%1: the result has no key column %2").arg(m_name, key));
    QStringList assignments;
    QList<int> columns = m_changes.keys();
    std::sort(columns.begin(), columns.end());
    for (int c : columns) {
        if (!isIdentifier(m_columns[c].name))
            throw DatabaseError(QStringLiteral("%1: cannot write field %2").arg(m_name, m_columns[c].name));
        assignments.append(m_columns[c].name + QStringLiteral(" = :v") + QString::number(c));
    }
    const QString sql = QStringLiteral("update ") + table + QStringLiteral(" set ") + assignments.join(u',') +
                        QStringLiteral(" where ") + key + QStringLiteral(" = :key_value");
    QSqlQuery q(m_connection->database());
    if (!q.prepare(sql))
        throw statementError(q, sql);
    for (int c : columns)
        q.bindValue(QStringLiteral(":v") + QString::number(c), bindableFor(c, m_changes.value(c)));
    q.bindValue(QStringLiteral(":key_value"), m_values.at(m_row * m_columns.size() + keyColumn));
    if (!q.exec())
        throw statementError(q, sql);
    for (int c : columns)
        m_values[m_row * m_columns.size() + c] = m_changes.value(c);
    m_changes.clear();
    m_state = State::Browse;
    Q_EMIT dataChanged(index(m_row, 0), index(m_row, static_cast<int>(m_columns.size()) - 1));
    Q_EMIT afterPost();
}

void DataSet::postInsert()
{
    QString table, key;
    resolveUpdateTable(&table, &key);
    QStringList names, values;
    QList<int> columns = m_changes.keys();
    std::sort(columns.begin(), columns.end());
    for (int c : columns) {
        if (!isIdentifier(m_columns[c].name))
            throw DatabaseError(QStringLiteral("%1: cannot write field %2").arg(m_name, m_columns[c].name));
        names.append(m_columns[c].name);
        values.append(QStringLiteral(":v") + QString::number(c));
    }
    QString sql = QStringLiteral("insert into ") + table;
    sql += names.isEmpty() ? QStringLiteral(" default values")
                           : u'(' + names.join(u',') + QStringLiteral(") values(") + values.join(u',') + u')';
    const bool returning = engine() == Engine::PostgreSQL;
    if (returning)
        sql += QStringLiteral(" returning ") + key;
    QSqlQuery q(m_connection->database());
    if (!q.prepare(sql))
        throw statementError(q, sql);
    for (int c : columns)
        q.bindValue(QStringLiteral(":v") + QString::number(c), bindableFor(c, m_changes.value(c)));
    if (!q.exec())
        throw statementError(q, sql);
    const QVariant newKey = returning ? (q.next() ? q.value(0) : QVariant()) : q.lastInsertId();
    q.finish();
    m_changes.clear();
    m_state = State::Browse;
    open();
    if (newKey.isValid())
        locate(key, newKey);
    Q_EMIT afterPost();
}

void DataSet::cancel()
{
    if (m_state == State::Edit || m_state == State::Insert) {
        m_changes.clear();
        m_state = State::Browse;
        if (m_row >= 0)
            Q_EMIT dataChanged(index(m_row, 0), index(m_row, static_cast<int>(m_columns.size()) - 1));
    }
}

void DataSet::deleteCurrent()
{
    requireOpen("delete");
    if (m_row < 0)
        return;
    QString table, key;
    resolveUpdateTable(&table, &key);
    const int keyColumn = fieldIndex(key);
    if (keyColumn < 0)
        throw DatabaseError(QStringLiteral("%1: the result has no key column %2").arg(m_name, key));
    const QString sql = QStringLiteral("delete from ") + table + QStringLiteral(" where ") + key +
                        QStringLiteral(" = :key_value");
    QSqlQuery q(m_connection->database());
    if (!q.prepare(sql))
        throw statementError(q, sql);
    const qsizetype width = m_columns.size();
    q.bindValue(QStringLiteral(":key_value"), m_values.at(m_row * width + keyColumn));
    if (!q.exec())
        throw statementError(q, sql);
    beginRemoveRows(QModelIndex(), m_row, m_row);
    m_values.remove(m_row * width, width);
    --m_rowCount;
    endRemoveRows();
    if (m_row >= m_rowCount) {
        m_row = m_rowCount - 1;
        m_eof = true;
    }
    m_state = State::Browse;
    Q_EMIT afterScroll();
}

void DataSet::setDisplayLabel(const QString& fieldName, const QString& label)
{
    m_labels.insert(fieldName.toLower(), label);
    const int column = fieldIndex(fieldName);
    if (column >= 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

QString DataSet::displayLabel(const QString& fieldName) const
{
    return m_labels.value(fieldName.toLower(), fieldName);
}

void DataSet::setMaster(DataSet* master, const QString& masterField, const QString& parameter)
{
    if (m_master)
        disconnect(m_master, nullptr, this, nullptr);
    m_master = master;
    m_masterField = masterField;
    m_masterParameter = parameter;
    if (!master)
        return;
    auto follow = [this] {
        if (!m_followingMaster)
            return;
        try {
            open();
        } catch (const DatabaseError& e) {
            qCWarning(lcDataSet) << m_name << "could not follow its master:" << e.message();
        }
    };
    connect(master, &DataSet::afterScroll, this, follow);
    // A closed master leaves the detail empty; it fills again when the master reopens.
    connect(master, &DataSet::afterClose, this, [this] { closeRows(); });
}

void DataSet::followMaster()
{
    QVariant v;
    if (m_master->isOpen() && m_master->recNo() >= 0)
        v = m_master->field(m_masterField);
    bindValue(m_masterParameter, v.isValid() ? v : QVariant(-1));
}

int DataSet::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : recordCount();
}

int DataSet::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_open ? 0 : fieldCount();
}

QVariant DataSet::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const QVariant v = value(index.row(), index.column());
    if (role == Qt::DisplayRole && v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return v;
}

QVariant DataSet::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= m_columns.size())
        return {};
    return displayLabel(m_columns[section].name);
}

Qt::ItemFlags DataSet::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() < m_columns.size() &&
        m_editableFields.contains(m_columns[index.column()].name, Qt::CaseInsensitive))
        f |= Qt::ItemIsEditable;
    return f;
}

bool DataSet::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    try {
        moveTo(index.row());
        edit();
        setField(m_columns[index.column()].name, value);
        post();
        return true;
    } catch (const DatabaseError& e) {
        qCWarning(lcDataSet) << m_name << "could not write the cell:" << e.message();
        cancel();
        return false;
    }
}
