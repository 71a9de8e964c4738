#pragma once

// A desk with the console and the card-reading screens, and helpers that put issued cards on
// the emulated encoder as the issuing screens leave them.

#include "DeskFixture.h"
#include "frontdesk/CardReadingScreens.h"
#include "frontdesk/TForm_nocard_cancel.h"
#include "frontdesk/TForm_readcard.h"
#include "frontdesk/Tform_main.h"
#include "frontdesk/Tform_read_allcard.h"
#include "frontdesk/Tform_update_timecard.h"
#include "platform/gui/StatusPanels.h"

#include <QDir>
#include <QTest>
#include <memory>

struct ReadingDesk : DeskFixture
{
    // Far beyond any test: the screens' polls and the console's refresh run only when a test
    // calls them.
    static constexpr int kNever = 24 * 3600 * 1000;

    std::unique_ptr<Tform_main> console;
    TForm_readcard* readcard = nullptr;
    TForm_nocard_cancel* nocard = nullptr;
    Tform_read_allcard* allcard = nullptr;
    Tform_update_timecard* timecard = nullptr;

    ReadingDesk()
    {
        console = std::make_unique<Tform_main>();
        installCardReadingScreens(*console);
        readcard = console->findChild<TForm_readcard*>(QStringLiteral("Form_readcard"));
        nocard = console->findChild<TForm_nocard_cancel*>(QStringLiteral("Form_nocard_cancel"));
        allcard = console->findChild<Tform_read_allcard*>(QStringLiteral("form_read_allcard"));
        timecard = console->findChild<Tform_update_timecard*>(QStringLiteral("form_update_timecard"));
        for (QTimer* t :
             {&console->Timer1, &console->Timer3, &readcard->Timer1, &allcard->Timer1, &timecard->Timer1})
            t->setInterval(kNever);
    }

    ~ReadingDesk()
    {
        for (QWidget* w : std::initializer_list<QWidget*>{readcard, nocard, allcard, timecard}) {
            if (w->isVisible())
                w->close();
        }
    }

    // From now on the encoder's port cannot be opened (the line was created at start-up).
    void breakPort()
    {
        TForm_Com::instance().setStreamFactory([this](int) {
            auto stream = std::make_unique<EmulatedStream>(engine);
            stream->setOpenFails(true);
            return stream;
        });
    }

    QString operatorName() const { return DataM().currentOperatorTrueName(); }

    // A card of this installation with the record as the issuing screens write it. Returns the
    // card's image as written.
    struct Issued
    {
        qint64 serial = 0;
        QString imageHex;
    };
    Issued issueCard(quint32 uid, int kind, const QString& room, const QDateTime& start, const QDateTime& end,
                     const std::function<void(TCard&)>& more = {},
                     const QString& holder = QStringLiteral("Ann Lee"), bool loss = false)
    {
        placeBlankCard(uid);
        TCard& c = Card();
        c.Clear();
        c.kind = kind;
        c.roomNo = room;
        c.loss = loss ? 1 : 0;
        c.start = start;
        c.end = end;
        c.EncodeKind();
        if (kind == 0)
            c.EncodeRoom();
        c.EncodeTimes();
        if (more)
            more(c);
        const int written = c.WriteCardVerified(1);
        if (written != 0)
            qFatal("card not written: %d", written);
        DataM().InsertIssueLog(QString::number(c.serial), operatorName(), c.contentHex,
                               loss ? QStringLiteral("1") : QStringLiteral("0"), room, c.kindName,
                               QString::number(kind), QStringLiteral("late arrival"),
                               QStringLiteral("X1234567"), holder, start, end);
        return {c.serial, c.contentHex};
    }
    Issued issueGuestCard(quint32 uid, const QString& room, const QDateTime& start, const QDateTime& end,
                          bool loss = false)
    {
        return issueCard(uid, 0, room, start, end, {}, QStringLiteral("Ann Lee"), loss);
    }

    // Image byte i (1..32) of the card in the field.
    quint8 cardByte(int i) { return quint8(QByteArray::fromHex(cardImageHex().toLatin1()).at(i - 1)); }

    QString recordField(const Issued& card, const QString& field)
    {
        return scalar(QStringLiteral("select %1 from issue_card_log where card_hard_no='%2'")
                          .arg(field, QString::number(card.serial)))
            .toString();
    }
    QDateTime recordTime(const Issued& card, const QString& field)
    {
        return scalar(QStringLiteral("select %1 from issue_card_log where card_hard_no='%2'")
                          .arg(field, QString::number(card.serial)))
            .toDateTime();
    }
    int logRows(int type) { return count(QStringLiteral("log where type=%1").arg(type)); }
    QString lastLogRemark()
    {
        return scalar(QStringLiteral("select remark from log order by id desc")).toString();
    }

    // Keeps the card in the field aside (as a guest's pocket) and puts it back later.
    MifareClassic takeCard()
    {
        MifareClassic card = *engine.card();
        removeCard();
        return card;
    }
    void putBack(const MifareClassic& card) { engine.placeCard(card); }

    // Saves a picture of a screen when TOLVANE_GRAB_DIR names a folder (to look at the layout).
    static void grab(QWidget* screen, const QString& name)
    {
        const QString folder = qEnvironmentVariable("TOLVANE_GRAB_DIR");
        if (folder.isEmpty())
            return;
        QCoreApplication::sendPostedEvents(); // layouts follow the texts set at showing
        screen->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
    }
};

inline QString panel(StatusPanels* bar, int n)
{
    return bar->panelText(n);
}
