// tolvane-card: the installer's and support's tool for cards, encoders and site codes.
//
//   tolvane-card --port DEVICE read
//   tolvane-card --port DEVICE init
//   tolvane-card decode HEX64
//   tolvane-card init-site [--force]

#include "CardText.h"
#include "SiteCode.h"
#include "card/CardKeys.h"
#include "card/DesString.h"
#include "card/TCard.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "encoder/Frame.h"
#include "encoder/TForm_Com.h"
#include "platform/IniFile.h"
#include "platform/SerialByteStream.h"
#include "platform/WinPath.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cstdio>
#include <stdexcept>

namespace {

enum ExitStatus { Success = 0, Failure = 1, Usage = 2 };

const char* const kDescription = R"(Field tool for cards, the card encoder and the site code.

Commands:
  read            Reads the card on the encoder at --port DEVICE and prints the
                  result code, then the card's record when it holds an image.
  init            Initialises the card on the encoder at --port DEVICE for this
                  site, as the card-initialisation screen does; prints the result.
  decode HEX64    Decodes a card image given as 64 hexadecimal digits.
  init-site       Chooses a random site code for a new installation and writes it
                  to sys.ini; --force replaces an existing one (every card issued
                  under the old code stops opening doors).

Settings (sys.ini, SetCard.ini for the kind names) are read from the working
directory, or from TOLVANE_HOME when it is set. DEVICE is a serial device path
(/dev/ttyUSB0) or the emulator's link.

Installing an encoder: every card is signed with the site code's first byte, and
reads expect the encoder's identification byte 1 to be that byte. After init-site,
set the encoder's identification to the printed "ident" value (for the emulator:
tolvane-encoder-emu --ident 4D00).

Output is one "name value" line per item; read, init and decode start with
"result N". Exit status: 0 done (read: the encoder answered, whatever the card;
init: result 0), 1 failure with a one-line error, 2 wrong usage.)";

void printLines(const QStringList& lines)
{
    for (const QString& line : lines)
        std::fputs((line.toUtf8() + '\n').constData(), stdout);
    std::fflush(stdout);
}

int fail(const QString& message)
{
    std::fflush(stdout);
    std::fputs(("tolvane-card: " + message.toUtf8() + '\n').constData(), stderr);
    return Failure;
}

void warn(const QString& message)
{
    std::fputs(("tolvane-card: warning: " + message.toUtf8() + '\n').constData(), stderr);
}

void loadInstallation()
{
    if (!QFileInfo::exists(cfg::sysIniPath()))
        warn(QStringLiteral("no sys.ini in %1; defaults are used").arg(WinPath::installationFolder()));
    TSystem::LoadSettings();
}

// The encoder module on DEVICE with this site's code and the card keys loaded. False with the
// reason when the device cannot be opened or the encoder does not answer.
bool openEncoder(const QString& device, QString* error)
{
    TForm_Com& com = TForm_Com::instance();
    com.setSiteCode(cfg::sys().siteCode());
    com.setStreamFactory([device](int) { return std::make_unique<SerialByteStream>(device); });
    try {
        com.open();
    } catch (const PortError&) {
        *error = QStringLiteral("cannot open %1: %2")
                     .arg(device, com.port() ? com.port()->errorString() : QStringLiteral("no such port"));
        return false;
    }
    Card().LoadCardKeys();
    com.ReadIdentification();
    if (!com.ReplyComplete()) {
        *error = QStringLiteral("no answer from an encoder on %1").arg(device);
        return false;
    }
    return true;
}

QString identificationText(const std::array<quint8, 2>& id)
{
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char*>(id.data()), 2).toHex().toUpper());
}

void warnOnForeignEncoder()
{
    const auto site = cfg::sys().siteCode();
    const auto id = TForm_Com::instance().identification();
    if (id[0] != site[0])
        warn(QStringLiteral("the encoder's identification %1 does not start with the site's first byte %2; "
                            "cards of this site read as result 5")
                 .arg(identificationText(id), SiteCode::encoderIdentification(site).left(2)));
}

int runRead(const QString& device)
{
    loadInstallation();
    QString error;
    if (!openEncoder(device, &error))
        return fail(error);
    warnOnForeignEncoder();
    TCard& card = Card();
    const int result = card.ReadCard();
    TForm_Com::instance().close();

    QStringList lines{QStringLiteral("result %1").arg(result),
                      QStringLiteral("meaning ") + CardText::resultMeaning(result),
                      QStringLiteral("ident ") + identificationText(TForm_Com::instance().identification())};
    if (card.serialText.size() == 4)
        lines.append(CardText::serialLine(card));
    if (result == CardResult::PortOrException) {
        printLines(lines);
        return fail(QStringLiteral("the exchange with the encoder on %1 failed").arg(device));
    }
    if (!card.contentHex.isEmpty()) {
        try {
            lines += CardText::recordLines(card);
        } catch (const ConversionError& e) {
            printLines(lines + QStringList{QStringLiteral("image ") + card.contentHex});
            return fail(
                QStringLiteral("the card's image cannot be decoded: %1").arg(QString::fromUtf8(e.what())));
        }
    }
    printLines(lines);
    return Success;
}

// The results of WriteSignature.
QString initMeaning(int result)
{
    switch (result) {
    case 0:
        return QStringLiteral("initialised, blank");
    case 1:
        return QStringLiteral("no card on the encoder");
    case 2:
        return QStringLiteral("a write was refused (an initialised card takes writes with Key B only)");
    default:
        return QStringLiteral("the factory Key A was refused (an issued card, or a card of another system)");
    }
}

int runInit(const QString& device)
{
    loadInstallation();
    const quint8 siteByte = cfg::sys().siteCode()[0];
    if (siteByte == 0)
        return fail(QStringLiteral(
            "sys.ini holds no site code (sys_sqcode1 is 0); run tolvane-card init-site first"));
    QString error;
    if (!openEncoder(device, &error))
        return fail(error);
    warnOnForeignEncoder();
    TForm_Com& com = TForm_Com::instance();
    com.LoadSectorKey(Frame::KeyA, CardKeys::factoryKey());
    com.LoadSectorKey(Frame::KeyB, CardKeys::factoryKey());
    const int result = com.WriteSignature(siteByte, Frame::KeyA);
    Card().LoadCardKeys();
    com.close();

    printLines({QStringLiteral("result %1").arg(result), QStringLiteral("meaning ") + initMeaning(result)});
    return result == 0 ? Success : Failure;
}

int runDecode(const QString& text)
{
    QString error;
    const auto image = CardText::parseImage(text, &error);
    if (!image)
        return fail(error);
    // Kind names come from the installation's SetCard.ini when there is one.
    TSystem::LoadCardTypes();
    TCard card(TForm_Com::instance());
    card.image = *image;
    QStringList lines;
    try {
        lines = CardText::recordLines(card);
    } catch (const ConversionError& e) {
        return fail(QStringLiteral("the image cannot be decoded: %1").arg(QString::fromUtf8(e.what())));
    }
    const int result = card.D(1) == 0xFF ? CardResult::Blank : CardResult::Done;
    printLines(QStringList{QStringLiteral("result %1").arg(result)} + lines);
    return Success;
}

int runInitSite(bool force)
{
    IniFile sysIni(cfg::sysIniPath());
    if (SiteCode::isSet(sysIni) && !force)
        return fail(
            QStringLiteral("%1 already holds site code %2; --force replaces it, and every card issued "
                           "under it stops opening doors")
                .arg(sysIni.path(), SiteCode::text(SiteCode::read(sysIni))));
    const SiteCode::Code code =
        SiteCode::choose([] { return static_cast<quint8>(QRandomGenerator::system()->bounded(256)); });
    try {
        SiteCode::write(sysIni, code);
    } catch (const std::runtime_error& e) {
        return fail(QString::fromUtf8(e.what()));
    }
    printLines({QStringLiteral("site-code ") + SiteCode::text(code),
                QStringLiteral("ident ") + SiteCode::encoderIdentification(code),
                QStringLiteral("sys-ini ") + sysIni.path()});
    return Success;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tolvane-card"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The encoder's serial device."),
                                  QStringLiteral("DEVICE"));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("init-site: replace an existing site code."));
    parser.addOptions({port, force});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("read, init, decode or init-site."));
    parser.addPositionalArgument(QStringLiteral("HEX64"), QStringLiteral("decode: the card image."),
                                 QStringLiteral("[HEX64]"));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    auto usage = [](const QString& message) {
        std::fputs(("tolvane-card: " + message.toUtf8() + " (see --help)\n").constData(), stderr);
        return Usage;
    };
    const qsizetype expectedArgs = command == QLatin1String("decode") ? 2 : 1;
    if (args.size() != expectedArgs)
        return usage(args.isEmpty() ? QStringLiteral("a command is needed")
                                    : QStringLiteral("wrong number of arguments for %1").arg(command));
    const bool needsPort = command == QLatin1String("read") || command == QLatin1String("init");
    if (needsPort && !parser.isSet(port))
        return usage(QStringLiteral("%1 needs --port DEVICE").arg(command));

    if (command == QLatin1String("read"))
        return runRead(parser.value(port));
    if (command == QLatin1String("init"))
        return runInit(parser.value(port));
    if (command == QLatin1String("decode"))
        return runDecode(args[1]);
    if (command == QLatin1String("init-site"))
        return runInitSite(parser.isSet(force));
    return usage(QStringLiteral("unknown command %1").arg(command));
}
