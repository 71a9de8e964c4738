#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// An INI file read and written the way Windows profile files behave:
// - section and key names are compared without regard to case, keys may contain spaces
//   ("User ID"), surrounding blanks are ignored and a value enclosed in matching quotes
//   loses them;
// - lines starting with ';' are comments; lines that are neither sections nor keys are kept;
// - a write changes only its own line (or adds the key at the end of its section, or a new
//   section at the end of the file) and keeps everything else byte for byte;
// - text is UTF-8 (a byte-order mark is tolerated and kept); a file that is not valid UTF-8
//   is read as GBK, the code page such installations were written in, and written back so.
class IniFile
{
public:
    // Reads path if it exists; a missing file reads as empty and is created by the first write.
    explicit IniFile(QString path);

    const QString& path() const { return m_path; }
    bool exists() const { return m_existed; }

    std::optional<QString> value(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key, const QString& fallback) const;
    // A missing value, one that is not an integer, or one outside 32 bits gives the fallback.
    // Decimal with an optional sign, and hexadecimal written $1F or 0x1F, are integers.
    int readInteger(const QString& section, const QString& key, int fallback) const;
    // Date-times written as "yyyy-MM-dd HH:mm:ss" (also "yyyy-M-d H:mm[:ss]", or ISO with 'T').
    QDateTime readDateTime(const QString& section, const QString& key, const QDateTime& fallback) const;
    bool sectionExists(const QString& section) const;
    QStringList keys(const QString& section) const;

    // Writes and saves immediately; throws std::runtime_error when the file cannot be written.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeDateTime(const QString& section, const QString& key, const QDateTime& value);

    // Re-reads the file from disk.
    void reload();

    static std::optional<int> parseInteger(const QString& text);
    static QDateTime parseDateTime(const QString& text);
    static QString formatDateTime(const QDateTime& value);

private:
    struct Line
    {
        QString text;
        QString section; // lower-case name for section headers
        QString key;     // lower-case name for key lines
    };
    int findKey(const QString& section, const QString& key) const;
    void save() const;

    QString m_path;
    bool m_existed = false;
    bool m_bom = false;
    bool m_gbk = false;
    QString m_newline = QStringLiteral("\r\n");
    QList<Line> m_lines;
};
