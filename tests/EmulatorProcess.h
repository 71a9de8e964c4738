#pragma once

#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The encoder emulator as a separate program on a pseudo-terminal, for tests that go over a
// real serial line.
class EmulatorProcess
{
public:
    explicit EmulatorProcess(const QStringList& extraArgs = {})
    {
        const QString program = qEnvironmentVariable("TOLVANE_BUILD_DIR") + "/tools/emulator/tolvane-encoder-emu";
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, QStringList{"--link", link(), "--control", controlPath()} + extraArgs);
        if (!m_process.waitForStarted(5000))
            return;
        while (m_process.waitForReadyRead(5000)) {
            m_output += m_process.readAllStandardOutput();
            if (m_output.contains("ready"))
                break;
        }
    }
    ~EmulatorProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    bool ready() const { return m_output.contains("ready"); }
    QString link() const { return m_dir.filePath("encoder"); }
    QString controlPath() const { return m_dir.filePath("control"); }

    QString control(const QString& line)
    {
        QLocalSocket socket;
        socket.connectToServer(controlPath());
        if (!socket.waitForConnected(2000))
            return QStringLiteral("error no connection");
        socket.write((line + '\n').toUtf8());
        socket.flush();
        QByteArray answer;
        while (!answer.contains('\n') && socket.waitForReadyRead(2000))
            answer += socket.readAll();
        return QString::fromUtf8(answer).trimmed();
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_output;
};
