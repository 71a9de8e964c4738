#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

// A temporary installation folder: the tests write their INI files into it and the
// program finds them there through TOLVANE_HOME.
class TestInstallation
{
public:
    TestInstallation()
    {
        m_previous = qEnvironmentVariable("TOLVANE_HOME");
        qputenv("TOLVANE_HOME", m_dir.path().toUtf8());
    }
    ~TestInstallation()
    {
        if (m_previous.isEmpty())
            qunsetenv("TOLVANE_HOME");
        else
            qputenv("TOLVANE_HOME", m_previous.toUtf8());
    }
    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
    QString root() const { return m_dir.path(); }
    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(path(name));
        QDir().mkpath(QFileInfo(f).absolutePath());
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    void write(const QString& name, const QString& text) const { write(name, text.toUtf8()); }
    QByteArray read(const QString& name) const
    {
        QFile f(path(name));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
