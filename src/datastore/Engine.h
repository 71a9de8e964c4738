#pragma once

// The database engines behind a connection string: the Jet provider opens an embedded SQLite file, the
// SQL Server provider a PostgreSQL server.
enum class Engine { None, SQLite, PostgreSQL };
