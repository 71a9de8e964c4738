#pragma once

#include "EmulatedStream.h"
#include "EncoderEngine.h"
#include "MifareClassic.h"
#include "app/DemoInstallation.h"
#include "card/CardKeys.h"
#include "card/TCard.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "datastore/DataSet.h"
#include "datastore/SqlValue.h"
#include "datastore/TDataM.h"
#include "encoder/Frame.h"
#include "encoder/TForm_Com.h"
#include "frontdesk/RoomLookup.h"
#include "platform/Clock.h"
#include "platform/gui/MessageBox.h"

#include <QDir>
#include <QTemporaryDir>

// A front desk for tests: a demo installation (settings, texts, pictures and a sample hotel of
// two buildings x 4 floors x 12 rooms, numbered BFFRR as Installer::sampleRoomNumber gives, e.g. 10105 = building 1, floor 1, room index 5),
// logged in as "admin" with every right, and the program's encoder module talking to the
// emulated encoder under virtual time. Message boxes answer themselves (first button) and are
// recorded (MessageBox::lastText()).
struct DeskFixture
{
    static constexpr quint8 kSiteByte1 = 0x4D;

    QTemporaryDir home;
    VirtualClock clock{QDateTime(QDate(2024, 5, 6), QTime(14, 30))};
    ScopedClock useClock{clock};
    EncoderEngine engine;
    bool portOpenFails = false;

    explicit DeskFixture(const QString& language = QStringLiteral("en"), bool roomStates = false)
    {
        qputenv("TOLVANE_HOME", home.path().toUtf8());
        DemoInstallation::copyInstallData(home.path(), language, true);
        IniFile sys(path("sys.ini"));
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("sys_sqcode1"), kSiteByte1);
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("sys_sqcode2"), 0x71);
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("sys_sqcode3"), 0x2C);
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("xp"), 0);
        DemoInstallation::createDatabase(path("lodgex.db"), QStringLiteral("admin"), QStringLiteral("admin"),
                                         roomStates);
        TSystem::LoadSettings();
        DataM().OpenConnection(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path("lodgex.db") +
                               u';');
        DataM().CurrentOperatorName = QStringLiteral("admin");
        DataM().Q_operator.setSql(QStringLiteral("select * from OPERATOR where name = 'admin'"));
        DataM().Q_operator.open();
        installRoomLookup();

        TForm_Com& com = TForm_Com::instance();
        com.setStreamFactory([this](int) {
            auto stream = std::make_unique<EmulatedStream>(engine);
            stream->setOpenFails(portOpenFails);
            return stream;
        });
        com.setSiteCode(cfg::sys().siteCode());
        com.setIdentification({kSiteByte1, 0x00});
        engine.setIdentification(kSiteByte1, 0x00);
        com.open();
        Card().LoadCardKeys();
        com.close();
        MessageBox::resetRecord();
        MessageBox::setAutoAnswer(true);
    }

    ~DeskFixture()
    {
        TForm_Com::instance().close();
        DataM().Conn.close();
        MessageBox::setAutoAnswer(false);
        qunsetenv("TOLVANE_HOME");
    }

    QString path(const QString& name) const { return QDir(home.path()).filePath(name); }

    // --- cards on the encoder ---
    void placeFactoryCard(quint32 uid)
    {
        engine.placeCard(MifareClassic::factory(MifareClassic::Kind::Classic1K,
                                                MifareClassic::Uid{quint8(uid >> 24), quint8(uid >> 16),
                                                                   quint8(uid >> 8), quint8(uid)}));
    }
    // A card initialised for this installation (signature written, blank image).
    void placeBlankCard(quint32 uid)
    {
        placeFactoryCard(uid);
        TForm_Com& com = TForm_Com::instance();
        com.open();
        com.LoadSectorKey(Frame::KeyA, CardKeys::factoryKey());
        com.LoadSectorKey(Frame::KeyB, CardKeys::factoryKey());
        com.WriteSignature(kSiteByte1, Frame::KeyA);
        Card().LoadCardKeys();
        com.close();
    }
    void removeCard() { engine.removeCard(); }
    QString control(const QString& line) { return engine.control(line); }
    // The card image as stored in the card sector (blocks 1 and 2 of sector 1), upper-case hex.
    QString cardImageHex()
    {
        const MifareClassic* c = engine.card();
        if (!c)
            return {};
        const int s = cfg::sys().sector;
        return QString::fromLatin1((c->rawBlock(s * 4 + 1) + c->rawBlock(s * 4 + 2)).toHex().toUpper());
    }

    // --- database ---
    QVariant scalar(const QString& sql)
    {
        DataSet q;
        q.setConnection(&DataM().Conn);
        q.setSql(sql);
        q.open();
        return q.isEmpty() ? QVariant() : q.value(0, 0);
    }
    void exec(const QString& sql)
    {
        DataSet q;
        q.setConnection(&DataM().Conn);
        q.setSql(sql);
        q.execSql();
    }
    int roomCards(const QString& room)
    {
        return scalar(QStringLiteral("select card_num from room where room_no='%1'").arg(room)).toInt();
    }
    QString roomStatus(const QString& room)
    {
        return scalar(QStringLiteral("select room_status_code from room where room_no='%1'").arg(room)).toString();
    }
    int count(const QString& whereSql)
    {
        return scalar(QStringLiteral("select count(*) from ") + whereSql).toInt();
    }
};
