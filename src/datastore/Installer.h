#pragma once

#include "datastore/DbConnection.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

// What an installation puts into a new database: the schema, the catalogue of rights, one group holding
// every right, the first operator, and on request a sample hotel for demonstrations and benchmarks.
namespace Installer {

struct Right
{
    QString code;
    QString description;
};
// Every right code the program checks, with the function it gates.
const QList<Right>& rightsCatalogue();

struct Operator
{
    QString name;     // login name, at most 20 characters
    QString password; // stored through the password cipher, at most 20 characters
};

struct SampleHotel
{
    int buildings = 2;
    int floors = 5;
    int roomsPerFloor = 20;
};
// "1" + floor and index written with two digits: building 1, floor 3, room 7 is "10307".
QString sampleRoomNumber(int building, int floor, int index);

// Schema, rights, group and operator into an empty database. Throws DatabaseError.
void install(DbConnection& connection, const Operator& firstOperator);
// Room types, work areas and buildings × floors × rooms rooms, all vacant. Throws DatabaseError.
void fillSample(DbConnection& connection, const SampleHotel& hotel, const QDateTime& created);

// A new SQLite file with all of it; refuses a file that exists. Throws DatabaseError.
void createSqliteFile(const QString& file, const Operator& firstOperator, const SampleHotel* sample);
// Initialises the PostgreSQL database of the settings, creating it when the server has none of that name;
// refuses a database that already holds the schema. Throws DatabaseError.
void initialisePostgres(const DbConnection::PgSettings& settings, const Operator& firstOperator,
                        const SampleHotel* sample);

} // namespace Installer
