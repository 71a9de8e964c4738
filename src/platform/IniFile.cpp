#include "platform/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <limits>
#include <stdexcept>

namespace {

QString unquote(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

bool decodeUtf8(const QByteArray& bytes, QString& out)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path))
{
    reload();
}

void IniFile::reload()
{
    m_lines.clear();
    m_bom = m_gbk = false;
    QFile file(m_path);
    m_existed = file.open(QIODevice::ReadOnly);
    if (!m_existed)
        return;
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_bom = true;
        bytes.remove(0, 3);
    }
    QString text;
    if (!decodeUtf8(bytes, text)) {
        QStringDecoder gbk("GBK");
        if (gbk.isValid()) {
            text = gbk.decode(bytes);
            m_gbk = true;
        } else {
            text = QString::fromLatin1(bytes);
        }
    }
    if (!text.contains(QLatin1String("\r\n")) && text.contains(u'\n'))
        m_newline = QStringLiteral("\n");
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList raw = text.split(u'\n');
    if (!raw.isEmpty() && raw.back().isEmpty())
        raw.removeLast();

    QString current;
    for (const QString& lineText : raw) {
        Line line{lineText, {}, {}};
        const QString t = lineText.trimmed();
        if (t.startsWith(u'[')) {
            const int close = t.indexOf(u']');
            if (close > 0) {
                current = t.mid(1, close - 1).trimmed().toLower();
                line.section = current;
                m_lines.append(line);
                continue;
            }
        }
        if (!t.startsWith(u';')) {
            const int eq = lineText.indexOf(u'=');
            if (eq > 0) {
                const QString key = lineText.left(eq).trimmed();
                if (!key.isEmpty()) {
                    line.section = current;
                    line.key = key.toLower();
                }
            }
        }
        if (line.key.isEmpty())
            line.section = current;
        m_lines.append(line);
    }
}

int IniFile::findKey(const QString& section, const QString& key) const
{
    const QString s = section.trimmed().toLower();
    const QString k = key.trimmed().toLower();
    for (int i = 0; i < m_lines.size(); ++i) {
        if (!m_lines[i].key.isEmpty() && m_lines[i].key == k && m_lines[i].section == s)
            return i;
    }
    return -1;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const
{
    const int i = findKey(section, key);
    if (i < 0)
        return std::nullopt;
    const QString& text = m_lines[i].text;
    return unquote(text.mid(text.indexOf(u'=') + 1));
}

QString IniFile::readString(const QString& section, const QString& key, const QString& fallback) const
{
    return value(section, key).value_or(fallback);
}

std::optional<int> IniFile::parseInteger(const QString& text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (t.front() == u'-' || t.front() == u'+') {
        negative = t.front() == u'-';
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(u'$')) {
        base = 16;
        t.remove(0, 1);
    } else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t.remove(0, 2);
    }
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qlonglong magnitude = t.toLongLong(&ok, base);
    if (!ok || t.front() == u'-' || t.front() == u'+')
        return std::nullopt;
    const qlonglong v = negative ? -magnitude : magnitude;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(v);
}

int IniFile::readInteger(const QString& section, const QString& key, int fallback) const
{
    const auto v = value(section, key);
    if (!v)
        return fallback;
    return parseInteger(*v).value_or(fallback);
}

QDateTime IniFile::parseDateTime(const QString& text)
{
    const QString t = text.trimmed();
    static const char* const formats[] = {"yyyy-MM-dd HH:mm:ss", "yyyy-M-d H:mm:ss", "yyyy-M-d H:mm",
                                          "yyyy/M/d H:mm:ss", "yyyy/M/d H:mm", "yyyy-M-d", "yyyy/M/d"};
    for (const char* f : formats) {
        const QDateTime dt = QDateTime::fromString(t, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    return QDateTime::fromString(t, Qt::ISODate);
}

QString IniFile::formatDateTime(const QDateTime& value)
{
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime IniFile::readDateTime(const QString& section, const QString& key, const QDateTime& fallback) const
{
    const auto v = value(section, key);
    if (!v)
        return fallback;
    const QDateTime dt = parseDateTime(*v);
    return dt.isValid() ? dt : fallback;
}

bool IniFile::sectionExists(const QString& section) const
{
    const QString s = section.trimmed().toLower();
    for (const Line& line : m_lines) {
        if (line.key.isEmpty() && line.section == s && line.text.trimmed().startsWith(u'['))
            return true;
    }
    return false;
}

QStringList IniFile::keys(const QString& section) const
{
    const QString s = section.trimmed().toLower();
    QStringList out;
    for (const Line& line : m_lines) {
        if (!line.key.isEmpty() && line.section == s)
            out.append(line.text.left(line.text.indexOf(u'=')).trimmed());
    }
    return out;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    const QString s = section.trimmed().toLower();
    const QString k = key.trimmed();
    const QString text = k + u'=' + value;
    const int existing = findKey(section, key);
    if (existing >= 0) {
        m_lines[existing].text = text;
    } else {
        int header = -1;
        for (int i = 0; i < m_lines.size(); ++i) {
            if (m_lines[i].key.isEmpty() && m_lines[i].section == s &&
                m_lines[i].text.trimmed().startsWith(u'[')) {
                header = i;
                break;
            }
        }
        if (header < 0) {
            if (!m_lines.isEmpty() && !m_lines.back().text.trimmed().isEmpty())
                m_lines.append({QString(), m_lines.back().section, {}});
            m_lines.append({u'[' + section.trimmed() + u']', s, {}});
            m_lines.append({text, s, k.toLower()});
        } else {
            // After the section's last key, before any blank lines that separate it from the next.
            int insertAt = header + 1;
            for (int i = header + 1; i < m_lines.size() && m_lines[i].section == s; ++i) {
                if (!m_lines[i].text.trimmed().isEmpty())
                    insertAt = i + 1;
            }
            m_lines.insert(insertAt, {text, s, k.toLower()});
        }
    }
    save();
}

void IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeDateTime(const QString& section, const QString& key, const QDateTime& value)
{
    writeString(section, key, formatDateTime(value));
}

void IniFile::save() const
{
    QString text;
    for (const Line& line : m_lines)
        text += line.text + m_newline;
    QByteArray bytes;
    if (m_gbk) {
        QStringEncoder gbk("GBK");
        bytes = gbk.encode(text);
    } else {
        bytes = text.toUtf8();
        if (m_bom)
            bytes.prepend("\xEF\xBB\xBF");
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw std::runtime_error(("cannot write " + m_path + ": " + file.errorString()).toStdString());
}
