#include "datastore/Installer.h"

#include "card/TEncrypt.h"
#include "config/Settings.h"
#include "datastore/DataSet.h"
#include "datastore/DatabaseError.h"
#include "datastore/Schema.h"
#include "datastore/SqlValue.h"
#include "platform/Clock.h"

#include <QFile>
#include <QSqlQuery>

namespace Installer {
namespace {

int lastKey(DbConnection& connection, const QString& table, const QString& key)
{
    QSqlQuery q(connection.database());
    if (!q.exec(QStringLiteral("select max(") + key + QStringLiteral(") from ") + table) || !q.next())
        throw DatabaseError(QStringLiteral("Cannot read the new row of ") + table);
    return q.value(0).toInt();
}

void checkOperator(const Operator& op)
{
    if (op.name.trimmed().isEmpty())
        throw DatabaseError(QStringLiteral("The first operator needs a name"));
    if (op.name.size() > 20 || op.password.size() > 20)
        throw DatabaseError(QStringLiteral("Operator names and passwords have at most 20 characters"));
}

} // namespace

const QList<Right>& rightsCatalogue()
{
    static const QList<Right> rights{
        {QStringLiteral("010101"), QStringLiteral("Issue guest card")},
        {QStringLiteral("010201"), QStringLiteral("Read card")},
        {QStringLiteral("010401"), QStringLiteral("Change room")},
        {QStringLiteral("010501"), QStringLiteral("Change check-out time")},
        {QStringLiteral("010601"), QStringLiteral("Cancel card")},
        {QStringLiteral("010701"), QStringLiteral("Cancel card without the card")},
        {QStringLiteral("020201"), QStringLiteral("Shift")},
        {QStringLiteral("020301"), QStringLiteral("Change password")},
        {QStringLiteral("020401"), QStringLiteral("Set room state")},
        {QStringLiteral("020501"), QStringLiteral("Print hand-held terminal records")},
        {QStringLiteral("030101"), QStringLiteral("Staff and function cards")},
        {QStringLiteral("030102"), QStringLiteral("Issue control card")},
        {QStringLiteral("030103"), QStringLiteral("Issue checkout card")},
        {QStringLiteral("030104"), QStringLiteral("Issue emergency card")},
        {QStringLiteral("030105"), QStringLiteral("Issue stop card")},
        {QStringLiteral("030106"), QStringLiteral("Issue long-opening card")},
        {QStringLiteral("030107"), QStringLiteral("Issue closed card")},
        {QStringLiteral("030108"), QStringLiteral("Issue time card")},
        {QStringLiteral("030109"), QStringLiteral("Issue building card")},
        {QStringLiteral("030110"), QStringLiteral("Issue floor card")},
        {QStringLiteral("030111"), QStringLiteral("Issue cleaning card")},
        {QStringLiteral("030112"), QStringLiteral("Issue gate card")},
        {QStringLiteral("030113"), QStringLiteral("Issue alarm card")},
        {QStringLiteral("030114"), QStringLiteral("Issue work-area setting card")},
        {QStringLiteral("030115"), QStringLiteral("Issue room setting card")},
        {QStringLiteral("030117"), QStringLiteral("Issue authorization card")},
        {QStringLiteral("030201"), QStringLiteral("Read staff and function cards")},
        {QStringLiteral("030301"), QStringLiteral("Update time card")},
        {QStringLiteral("030401"), QStringLiteral("Cancel staff and function cards")},
        {QStringLiteral("040101"), QStringLiteral("System log query")},
        {QStringLiteral("040201"), QStringLiteral("Card-issue log query and patrol records")},
        {QStringLiteral("050101"), QStringLiteral("Room setting and data tidy")},
        {QStringLiteral("050201"), QStringLiteral("Work areas")},
        {QStringLiteral("050301"), QStringLiteral("System parameters, backup and restore")},
        {QStringLiteral("060101"), QStringLiteral("Operators")},
        {QStringLiteral("060301"), QStringLiteral("Authorization option of the authorization card")},
        {QStringLiteral("070101"), QStringLiteral("Group rights")},
    };
    return rights;
}

QString sampleRoomNumber(int building, int floor, int index)
{
    return QString::number(building) + QStringLiteral("%1").arg(floor, 2, 10, QLatin1Char('0')) +
           QStringLiteral("%1").arg(index, 2, 10, QLatin1Char('0'));
}

void install(DbConnection& connection, const Operator& firstOperator)
{
    checkOperator(firstOperator);
    WriteBatch batch(connection);
    Schema::create(connection, cfg::codes().GC_AVAILABLE);

    DataSet statement(QStringLiteral("install"));
    statement.setConnection(&connection);
    statement.setSql(QStringLiteral("insert into g_right(code,descript) values(:code,:descript)"));
    for (const Right& right : rightsCatalogue()) {
        statement.bindValue(QStringLiteral("code"), right.code);
        statement.bindValue(QStringLiteral("descript"), right.description);
        statement.execSql();
    }

    statement.setSql(QStringLiteral("insert into operator_group(g_name,g_code) values(:name,:code)"));
    statement.bindValue(QStringLiteral("name"), QStringLiteral("Administrators"));
    statement.bindValue(QStringLiteral("code"), 1);
    statement.execSql();
    const int group = lastKey(connection, QStringLiteral("operator_group"), QStringLiteral("ID"));

    statement.setSql(
        QStringLiteral("insert into group_right(group_id,code,the_right) values(:group,:code,:granted)"));
    for (const Right& right : rightsCatalogue()) {
        statement.bindValue(QStringLiteral("group"), group);
        statement.bindValue(QStringLiteral("code"), right.code);
        statement.bindValue(QStringLiteral("granted"), true);
        statement.execSql();
    }

    const QString stored = TEncrypt::PasswordCipher(firstOperator.password);
    statement.setSql(QStringLiteral("insert into operator(name,true_name,pass_word,passwd,descript,power) "
                                    "values(:name,:true_name,:pass_word,:passwd,:descript,:power)"));
    statement.bindValue(QStringLiteral("name"), firstOperator.name);
    statement.bindValue(QStringLiteral("true_name"), firstOperator.name);
    statement.bindValue(QStringLiteral("pass_word"), stored);
    statement.bindValue(QStringLiteral("passwd"), stored);
    statement.bindValue(QStringLiteral("descript"), QString());
    statement.bindValue(QStringLiteral("power"), group);
    statement.execSql();
}

void fillSample(DbConnection& connection, const SampleHotel& hotel, const QDateTime& created)
{
    WriteBatch batch(connection);
    DataSet statement(QStringLiteral("sample"));
    statement.setConnection(&connection);

    const QList<QPair<QString, QString>> types{{QStringLiteral("0001"), QStringLiteral("Standard room")},
                                               {QStringLiteral("0002"), QStringLiteral("Twin room")},
                                               {QStringLiteral("0003"), QStringLiteral("Suite")}};
    statement.setSql(QStringLiteral("insert into room_type(code,descript) values(:code,:descript)"));
    for (const auto& [code, name] : types) {
        statement.bindValue(QStringLiteral("code"), code);
        statement.bindValue(QStringLiteral("descript"), name);
        statement.execSql();
    }

    statement.setSql(QStringLiteral("insert into workarea(code,descript) values(:code,:descript)"));
    for (int area = 1; area <= 3; ++area) {
        statement.bindValue(QStringLiteral("code"), QStringLiteral("%1").arg(area, 2, 10, QLatin1Char('0')));
        statement.bindValue(QStringLiteral("descript"), QStringLiteral("Housekeeping area %1").arg(area));
        statement.execSql();
    }

    statement.setSql(QStringLiteral(
        "insert into room(building_id,building_name,floor,room_no_id,room_no,card_num,max_num,room_type_code,"
        "room_status_code,remark,losttime) "
        "values(:building,:building_name,:floor,:room_index,:room_no,0,0,:type,"
        ":status,:remark,:created)"));
    for (int b = 1; b <= hotel.buildings; ++b) {
        for (int f = 1; f <= hotel.floors; ++f) {
            for (int i = 1; i <= hotel.roomsPerFloor; ++i) {
                statement.bindValue(QStringLiteral("building"), b);
                statement.bindValue(QStringLiteral("building_name"), QStringLiteral("Building %1").arg(b));
                statement.bindValue(QStringLiteral("floor"), f);
                statement.bindValue(QStringLiteral("room_index"), i);
                statement.bindValue(QStringLiteral("room_no"), sampleRoomNumber(b, f, i));
                statement.bindValue(QStringLiteral("type"), types[(i - 1) % types.size()].first);
                statement.bindValue(QStringLiteral("status"), cfg::codes().room_empty);
                statement.bindValue(QStringLiteral("remark"), QString());
                statement.bindValue(QStringLiteral("created"), created);
                statement.execSql();
            }
        }
    }
}

void createSqliteFile(const QString& file, const Operator& firstOperator, const SampleHotel* sample)
{
    checkOperator(firstOperator);
    DbConnection connection;
    connection.openSqlite(file, DbConnection::SqliteMode::CreateNew);
    try {
        install(connection, firstOperator);
        if (sample)
            fillSample(connection, *sample, Clock::instance().now());
    } catch (...) {
        connection.close();
        QFile::remove(file);
        QFile::remove(file + QStringLiteral("-wal"));
        QFile::remove(file + QStringLiteral("-shm"));
        throw;
    }
}

void initialisePostgres(const DbConnection::PgSettings& settings, const Operator& firstOperator,
                        const SampleHotel* sample)
{
    checkOperator(firstOperator);
    DbConnection connection;
    try {
        connection.openPostgres(settings);
    } catch (const DatabaseError&) {
        // The server may simply not have the database yet: create it from the maintenance database.
        DbConnection maintenance;
        DbConnection::PgSettings admin = settings;
        admin.database = QStringLiteral("postgres");
        maintenance.openPostgres(admin);
        QString name = settings.database;
        name.replace(u'"', QStringLiteral("\"\""));
        maintenance.exec(QStringLiteral("CREATE DATABASE \"") + name + u'"');
        maintenance.close();
        connection.openPostgres(settings);
    }
    if (Schema::exists(connection))
        throw DatabaseError(
            QStringLiteral("The database %1 already holds the Tolvane tables").arg(settings.database));
    install(connection, firstOperator);
    if (sample)
        fillSample(connection, *sample, Clock::instance().now());
}

} // namespace Installer
