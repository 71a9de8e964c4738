// tolvane-db: creates the database of a new installation.
//
//   tolvane-db create FILE --operator NAME --password PASSWORD [--sample]
//       a new SQLite database file (refuses a file that exists)
//   tolvane-db create --server --operator NAME --password PASSWORD [--sample]
//       initialises the PostgreSQL database named by the SQL Server settings of sys.ini (Data Source,
//       Initial Catalog, User ID, Password) in the installation folder (TOLVANE_HOME or the working
//       directory), creating it on the server when missing; refuses one that already holds the tables
//
// Both install the schema, the catalogue of rights, the group "Administrators" holding every right and
// the first operator. --sample adds room types, work areas and a sample hotel (--buildings, --floors,
// --rooms per floor; 2 × 5 × 20 by default). Status codes come from ic.ini like the program's.
#include "config/Settings.h"
#include "config/TSystem.h"
#include "datastore/ConnectionString.h"
#include "datastore/DatabaseError.h"
#include "datastore/Installer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

int fail(const QString& message, int code = 1)
{
    std::fprintf(stderr, "tolvane-db: %s\n", qPrintable(message));
    return code;
}

bool positive(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value > 0 && *value < 256;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tolvane-db"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Creates the database of a Tolvane installation."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("create"), QStringLiteral("The command: create."));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The SQLite file to create."),
                                 QStringLiteral("[FILE]"));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Initialise the PostgreSQL database of sys.ini."));
    const QCommandLineOption op(QStringLiteral("operator"),
                                QStringLiteral("Login name of the first operator."), QStringLiteral("NAME"));
    const QCommandLineOption password(QStringLiteral("password"),
                                      QStringLiteral("Password of the first operator."),
                                      QStringLiteral("PASSWORD"));
    const QCommandLineOption sample(QStringLiteral("sample"), QStringLiteral("Add a sample hotel."));
    const QCommandLineOption buildings(QStringLiteral("buildings"),
                                       QStringLiteral("Sample buildings (default 2)."), QStringLiteral("N"),
                                       QStringLiteral("2"));
    const QCommandLineOption floors(QStringLiteral("floors"),
                                    QStringLiteral("Sample floors per building (default 5)."),
                                    QStringLiteral("N"), QStringLiteral("5"));
    const QCommandLineOption rooms(QStringLiteral("rooms"),
                                   QStringLiteral("Sample rooms per floor (default 20)."),
                                   QStringLiteral("N"), QStringLiteral("20"));
    parser.addOptions({server, op, password, sample, buildings, floors, rooms});
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty() || args.first() != QStringLiteral("create"))
        return fail(QStringLiteral("the command is: create FILE | create --server (see --help)"), 2);
    const bool toServer = parser.isSet(server);
    if (toServer == (args.size() == 2) || args.size() > 2)
        return fail(QStringLiteral("give either a FILE or --server"), 2);
    if (!parser.isSet(op) || !parser.isSet(password))
        return fail(QStringLiteral("--operator and --password are required"), 2);

    Installer::SampleHotel hotel;
    if (!positive(parser.value(buildings), &hotel.buildings) ||
        !positive(parser.value(floors), &hotel.floors) ||
        !positive(parser.value(rooms), &hotel.roomsPerFloor))
        return fail(QStringLiteral("--buildings, --floors and --rooms take a number from 1 to 255"), 2);
    const Installer::Operator first{parser.value(op), parser.value(password)};

    TSystem::LoadSettings();
    try {
        if (toServer) {
            const DbConnection::PgSettings settings =
                DbConnection::pgSettingsFrom(ConnectionString::buildSqlServer(cfg::sys()));
            Installer::initialisePostgres(settings, first, parser.isSet(sample) ? &hotel : nullptr);
            std::printf("Initialised database %s on %s\n", qPrintable(settings.database),
                        qPrintable(settings.host));
        } else {
            Installer::createSqliteFile(args[1], first, parser.isSet(sample) ? &hotel : nullptr);
            std::printf("Created %s\n", qPrintable(args[1]));
        }
    } catch (const DatabaseError& e) {
        return fail(e.message());
    }
    return 0;
}
