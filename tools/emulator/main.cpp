// tolvane-encoder-emu: a card encoder on a pseudo-terminal, steered through a control socket.
//
//   tolvane-encoder-emu --link PATH --control PATH [--ident HEX4] [--latency MS]
//                       [--card factory1k|factory4k|FILE] [--window [--grab PNG]]
//   tolvane-encoder-emu --control PATH --send "place factory1k"

#include "EmulatorWindow.h"
#include "EncoderEngine.h"
#include "PtyHost.h"
#include "config/TSystem.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr int kClientTimeoutMs = 5000;

void printLine(FILE* stream, const QString& line)
{
    std::fputs(qPrintable(line + u'\n'), stream);
    std::fflush(stream);
}

int runClient(const QString& socketPath, const QString& line)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(kClientTimeoutMs)) {
        printLine(stderr, QStringLiteral("error cannot reach %1: %2").arg(socketPath, socket.errorString()));
        return 2;
    }
    socket.write(line.toUtf8() + '\n');
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kClientTimeoutMs)) {
            printLine(stderr, QStringLiteral("error no answer from %1").arg(socketPath));
            return 2;
        }
    }
    const QString answer = QString::fromUtf8(socket.readLine()).trimmed();
    printLine(stdout, answer);
    return answer.startsWith(QLatin1String("ok")) ? 0 : 1;
}

// SIGINT and SIGTERM arrive as readable data on a descriptor, so the event loop ends
// normally and the link and socket are removed by their owners.
int blockTerminationSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    return signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

bool applySetting(EncoderEngine& engine, const QString& command)
{
    const QString answer = engine.control(command);
    if (answer.startsWith(QLatin1String("ok")))
        return true;
    printLine(stderr, QStringLiteral("%1: %2").arg(command, answer));
    return false;
}

// The window needs a display; without --window the emulator runs headless, so it must not
// create a QApplication. The choice is made before the parser exists.
bool windowRequested(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--window") == 0)
            return true;
    }
    return false;
}

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char* argv[])
{
    if (windowRequested(argc, argv))
        return std::make_unique<QApplication>(argc, argv);
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char* argv[])
{
    const int signalDescriptor = blockTerminationSignals();
    const auto app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tolvane-encoder-emu"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Card encoder emulator on a pseudo-terminal"));
    parser.addHelpOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Symlink to create for the serial line."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption controlPath(QStringLiteral("control"), QStringLiteral("Control socket path."),
                                         QStringLiteral("PATH"));
    const QCommandLineOption ident(QStringLiteral("ident"),
                                   QStringLiteral("Encoder identification (4 hex digits)."),
                                   QStringLiteral("HEX4"));
    const QCommandLineOption latency(QStringLiteral("latency"),
                                     QStringLiteral("Card latency per command in ms."), QStringLiteral("MS"));
    const QCommandLineOption card(
        QStringLiteral("card"),
        QStringLiteral("Card in the field at start: factory1k, factory4k or a dump file."),
        QStringLiteral("CARD"));
    const QCommandLineOption send(QStringLiteral("send"),
                                  QStringLiteral("Client mode: send one control line, print the answer."),
                                  QStringLiteral("LINE"));
    const QCommandLineOption window(
        QStringLiteral("window"),
        QStringLiteral("Show a window with the card in the field and the last frames."));
    const QCommandLineOption grab(QStringLiteral("grab"),
                                  QStringLiteral("With --window: write a picture of the window on quitting."),
                                  QStringLiteral("PNG"));
    parser.addOptions({link, controlPath, ident, latency, card, send, window, grab});
    parser.process(*app);

    if (!parser.isSet(controlPath)) {
        printLine(stderr, QStringLiteral("--control PATH is required"));
        return 2;
    }
    if (parser.isSet(send))
        return runClient(parser.value(controlPath), parser.value(send));
    if (!parser.isSet(link)) {
        printLine(stderr, QStringLiteral("--link PATH is required"));
        return 2;
    }

    EncoderEngine engine;
    if ((parser.isSet(ident) && !applySetting(engine, QStringLiteral("ident ") + parser.value(ident))) ||
        (parser.isSet(latency) &&
         !applySetting(engine, QStringLiteral("latency ") + parser.value(latency))) ||
        (parser.isSet(card) && !applySetting(engine, QStringLiteral("place ") + parser.value(card))))
        return 2;

    PtyHost host(engine, parser.value(link));
    ControlServer server(engine, parser.value(controlPath));
    QString error;
    if (!host.start(&error) || !server.listen(&error)) {
        printLine(stderr, error);
        return 1;
    }

    QSocketNotifier signalNotifier(signalDescriptor, QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, app.get(), [signalDescriptor] {
        signalfd_siginfo info{};
        while (::read(signalDescriptor, &info, sizeof info) == sizeof info) {
        }
        QCoreApplication::quit();
    });

    std::unique_ptr<EmulatorWindow> view;
    if (parser.isSet(window)) {
        // The card sector (sys.ini) and the kind names (SetCard.ini) of the installation in
        // the working directory, when there is one.
        TSystem::LoadSettings();
        view = std::make_unique<EmulatorWindow>(engine, parser.value(link));
        view->show();
    }

    printLine(stdout,
              QStringLiteral("ready link=%1 control=%2").arg(parser.value(link), parser.value(controlPath)));
    const int status = QCoreApplication::exec();
    ::close(signalDescriptor);
    if (view && parser.isSet(grab) && !view->grab().save(parser.value(grab)))
        printLine(stderr, QStringLiteral("cannot write %1").arg(parser.value(grab)));
    return status;
}
