// The welcome sequence after a login: finding the encoder (on the configured port, by searching,
// or not at all), preparing it, recounting the rooms and opening the console.

#include "AppDesk.h"
#include "app/TForm_Close.h"

#include <QLabel>

namespace {

const TextTables& T()
{
    return cfg::texts();
}

// A port that opens but where nothing answers: no encoder on the other end of the cable.
class SilentStream final : public ByteStream
{
public:
    bool open() override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void write(const QByteArray&) override
    {
        if (!m_open)
            throw PortError("port closed");
    }
    qint64 bytesAvailable() const override { return 0; }
    QByteArray read(qint64) override { return {}; }
    void purge() override {}
    QString errorString() const override { return {}; }
    QString description() const override { return QStringLiteral("silent line"); }

private:
    bool m_open = false;
};

enum class Line { Encoder, Silent, Missing };

// Each of COM1..COM8 as the test wants it; ports not named are missing.
void wirePorts(DeskFixture& desk, std::map<int, Line> lines)
{
    TForm_Com::instance().setStreamFactory([&desk, lines](int port) -> std::unique_ptr<ByteStream> {
        const auto it = lines.find(port);
        const Line line = it == lines.end() ? Line::Missing : it->second;
        if (line == Line::Silent)
            return std::make_unique<SilentStream>();
        auto stream = std::make_unique<EmulatedStream>(desk.engine);
        stream->setOpenFails(line == Line::Missing);
        return stream;
    });
}

int configuredPort(DeskFixture& desk)
{
    return IniFile(desk.path(QStringLiteral("sys.ini")))
        .readInteger(QStringLiteral("sys"), QStringLiteral("com"), 0);
}

void setConfiguredPort(DeskFixture& desk, int port)
{
    IniFile(desk.path(QStringLiteral("sys.ini")))
        .writeInteger(QStringLiteral("sys"), QStringLiteral("com"), port);
}

} // namespace

class TestWelcome : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void encoderOnTheConfiguredPort();
    void encoderFoundBySearch_data();
    void encoderFoundBySearch();
    void noEncoder_data();
    void noEncoder();
    void closingTheConsoleEndsTheProgram();
};

void TestWelcome::encoderOnTheConfiguredPort()
{
    AppDesk desk([](AppDesk& d) {
        // Counts gone wrong since the last run: the welcome sequence puts them right.
        d.exec(
            QStringLiteral("update room set card_num=7, room_status_code='room_used' where room_no='10101'"));
        d.engine.setIdentification(DeskFixture::kSiteByte1, 0x21);
    });
    TForm_Com::instance().setIdentification({0, 0});
    QStringList captions;
    auto* panel = desk.welcome().Panel1;
    QMetaObject::Connection watch =
        QObject::connect(&TForm_Com::instance(), &TForm_Com::replyChanged, panel, [&] {
            if (captions.isEmpty() || captions.back() != panel->text())
                captions << panel->text();
        });
    QVERIFY(desk.logInAsAdmin());
    QObject::disconnect(watch);

    QCOMPARE(MessageBox::shownCount(), 0);
    QVERIFY(!desk.welcome().isVisible());
    QVERIFY(captions.contains(T().state(1))); // "opening the port" while the keys were loaded
    QCOMPARE(desk.roomCards(QStringLiteral("10101")), 0);
    QCOMPARE(desk.roomStatus(QStringLiteral("10101")), cfg::codes().room_empty);
    TForm_Com& com = TForm_Com::instance();
    QVERIFY(!com.isOpen()); // every card operation opens the port again as it needs
    QCOMPARE(com.identification()[1], quint8(0x21));
    QCOMPARE(com.siteCode(), cfg::sys().siteCode());
    QCOMPARE(configuredPort(desk), 1);
    // The console came up with its map built and drawn from the recounted rooms.
    const MapRoom* first = desk.console().DrawGrid1->roomAt(0, 0);
    QVERIFY(first);
    QCOMPARE(first->roomNo, QStringLiteral("10101"));
    QCOMPARE(first->status, cfg::codes().room_empty);
}

void TestWelcome::encoderFoundBySearch_data()
{
    QTest::addColumn<int>("configured");
    QTest::addColumn<QList<int>>("encoderPorts"); // ports with the encoder; others as "silentPorts" says
    QTest::addColumn<QList<int>>("silentPorts");
    QTest::addColumn<int>("expectedPort");
    // The configured port is not on this machine: COM1 is taken instead and remembered.
    QTest::newRow("configured port missing") << 5 << QList<int>{1} << QList<int>{} << 1;
    // The encoder moved to COM3: the search finds it on its third try.
    QTest::newRow("encoder on COM3") << 1 << QList<int>{3} << QList<int>{1, 2, 4} << 3;
    QTest::newRow("only COM8 answers") << 2 << QList<int>{8} << QList<int>{2, 5} << 8;
}

void TestWelcome::encoderFoundBySearch()
{
    QFETCH(int, configured);
    QFETCH(QList<int>, encoderPorts);
    QFETCH(QList<int>, silentPorts);
    QFETCH(int, expectedPort);
    AppDesk desk([&](AppDesk& d) {
        setConfiguredPort(d, configured);
        std::map<int, Line> lines;
        for (int port : encoderPorts)
            lines[port] = Line::Encoder;
        for (int port : silentPorts)
            lines[port] = Line::Silent;
        wirePorts(d, lines);
    });
    QVERIFY(desk.logInAsAdmin());
    QCOMPARE(MessageBox::shownCount(), 0);
    QCOMPARE(configuredPort(desk), expectedPort);
    QCOMPARE(int(cfg::sys().com), expectedPort);
    QCOMPARE(TForm_Com::instance().portNumber(), expectedPort);
    QVERIFY(!TForm_Com::instance().isOpen());
}

void TestWelcome::noEncoder_data()
{
    QTest::addColumn<bool>("portsOpen"); // the ports exist, but nothing answers on them
    QTest::addColumn<int>("answer");
    QTest::newRow("no ports, go on") << false << int(QMessageBox::Yes);
    QTest::newRow("no ports, stop") << false << int(QMessageBox::No);
    QTest::newRow("silent ports, go on") << true << int(QMessageBox::Yes);
    QTest::newRow("silent ports, stop") << true << int(QMessageBox::No);
}

void TestWelcome::noEncoder()
{
    QFETCH(bool, portsOpen);
    QFETCH(int, answer);
    AppDesk desk([&](AppDesk& d) {
        std::map<int, Line> lines;
        if (portsOpen)
            for (int port = 1; port <= 8; ++port)
                lines[port] = Line::Silent;
        wirePorts(d, lines);
    });
    MessageBox::setNextAnswer(static_cast<MessageBox::Button>(answer));
    desk.typeLogin(QStringLiteral("admin"), QStringLiteral("admin"));
    QVERIFY(QTest::qWaitFor([&] { return MessageBox::shownCount() > 0; }, 5000));

    QCOMPARE(MessageBox::shownCount(), 1);
    QCOMPARE(MessageBox::lastText(), T().label(100));
    QCOMPARE(MessageBox::lastCaption(), QStringLiteral("Erroe"));
    QVERIFY(!TForm_Com::instance().isOpen());
    QCOMPARE(configuredPort(desk), 1);
    if (answer == QMessageBox::Yes) {
        QVERIFY(desk.reachConsole()); // the desk works on without an encoder
        QVERIFY(!desk.welcome().isVisible());
        QVERIFY(!desk.programEnded());
        QVERIFY(!desk.console().DrawGrid1->rooms().empty());
    } else {
        QVERIFY(desk.programEnded());
        QVERIFY(!desk.console().isVisible());
    }
}

void TestWelcome::closingTheConsoleEndsTheProgram()
{
    AppDesk desk([](AppDesk& d) {
        // No server to run the recount on: the closing screen gives up quietly.
        IniFile(d.path(QStringLiteral("sys.ini")))
            .writeString(QStringLiteral("sys"), QStringLiteral("Data Source"), QStringLiteral("127.0.0.1,1"));
    });
    QVERIFY(desk.logInAsAdmin());
    Tform_main& console = desk.console();
    console.close();
    QVERIFY(!console.Timer1.isActive());
    QVERIFY(!console.Timer3.isActive());
    QWidget& closing = *desk.app->Form_Close;
    QVERIFY(closing.isVisible());
    QVERIFY(!desk.programEnded());
    QVERIFY(QTest::qWaitFor([&] { return desk.programEnded(); }, 10000));
    QCOMPARE(MessageBox::shownCount(), 0);
}

QTEST_MAIN(TestWelcome)
#include "TestWelcome.moc"
