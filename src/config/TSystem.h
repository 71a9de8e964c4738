#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// Loads the configuration into the process-wide settings and tables (see Settings.h).
class TSystem
{
public:
    // sys.ini, then the text tables, then the card-type table; then the global card object
    // is created anew. An invalid checkout_time or dayout_time
    // keeps its default, adds a line to cfg::loadWarnings() and loading goes on.
    static void LoadSettings();
    static void LoadTexts();
    static void LoadCardTypes();

    static std::optional<QTime> parseTime(const QString& text);
    static QString formatTime(const QTime& time);
};

// The optional hand-over file "./lock.ini" written by another program.
struct LockHandOver
{
    QString room_no;
    QDateTime end_time;
    QString guest_name;
};
// Reads ./lock.ini when it exists; now is the default end time minus one day.
std::optional<LockHandOver> readLockHandOver(const QDateTime& now);
