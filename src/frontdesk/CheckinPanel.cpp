// The check-in panel of the console: issuing a card (one, or a queue of rooms), reading the
// card on the encoder into the panel, and cancelling it.

#include "card/TCard.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "datastore/DatabaseError.h"
#include "datastore/TDataM.h"
#include "encoder/TForm_Com.h"
#include "frontdesk/CardWork.h"
#include "frontdesk/GuestCardIssue.h"
#include "frontdesk/TForm_isslock.h"
#include "frontdesk/Tform_main.h"
#include "platform/Clock.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/StatusPanels.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimeEdit>

namespace {

const TextTables& T()
{
    return cfg::texts();
}

void closePort()
{
    TForm_Com::instance().close();
}

} // namespace

void Tform_main::setCheckinButtonsEnabled(bool enabled)
{
    for (QPushButton* b : {B_ok, B_cancel, BitBtn2})
        b->setEnabled(enabled);
}

void Tform_main::showUnexpectedError(const std::exception& e)
{
    // What the application's default handler would show; the desk stays usable.
    MessageBox::error(this, QString::fromUtf8(e.what()));
}

std::array<bool, 8> Tform_main::doorOptions() const
{
    std::array<bool, 8> options{};
    for (int k = 0; k < 8; ++k)
        options[static_cast<size_t>(k)] = CheckListBox1->item(k)->checkState() == Qt::Checked;
    return options;
}

void Tform_main::setDoorOptionsFromByte(quint8 door)
{
    Label2->clear();
    Label2->setVisible(door != 0);
    for (int k = 0; k < 8; ++k) {
        const bool only = door == (1 << k);
        CheckListBox1->item(k)->setCheckState(only ? Qt::Checked : Qt::Unchecked);
        if (only)
            Label2->setText(T().label(115 + k));
    }
}

// --- stay fields -----------------------------------------------------------------------------

void Tform_main::connectStayFields()
{
    connect(T_day_num, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text.isEmpty())
            return;
        const QSignalBlocker block(T_out_date);
        T_out_date->setDate(Clock::instance().now().date().addDays(text.toInt()));
    });
    connect(T_out_date, &QDateEdit::editingFinished, this, [this] {
        const QDateTime now = Clock::instance().now();
        const qint64 days = std::abs(now.date().daysTo(T_out_date->date()));
        T_day_num->setText(QString::number(days));
        if (days == 0) {
            int hour = now.time().hour() + 1;
            if (hour == 24)
                hour = 1;
            T_out_time->setTime(QTime(hour, now.time().minute(), now.time().second()));
        }
    });
}

QDateTime Tform_main::checkoutFromFields() const
{
    return QDateTime(T_out_date->date(), T_out_time->time());
}

// --- issue ------------------------------------------------------------------------------------

void Tform_main::showWaitingWindow()
{
    if (!m_waiting)
        m_waiting = new TForm_isslock(*this); // owned by the console
    m_waiting->show();
}

void Tform_main::closeWaitingWindow()
{
    if (m_waiting && m_waiting->isVisible())
        m_waiting->close();
}

void Tform_main::B_okClick()
{
    const CardWork work;
    if (!work.acquired())
        return;
    try {
        if (cfg::sys().drts == 1) {
            const int cards = GuestCardIssue::activeGuestCards(T_room_no->text());
            if (cards > 0 &&
                MessageBox::information(this, QStringLiteral("Room Issue Crads: %1 Continue？").arg(cards),
                                        QString(), QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
                return;
        }
    } catch (const std::exception& e) {
        showUnexpectedError(e);
        return;
    }
    if (ListBox1->count() == 0)
        showWaitingWindow();
    setCheckinButtonsEnabled(false);
    Delay(50);
    Timer3.stop();
    try {
        GuestCardIssue::probe(GuestCardIssue::Caller::Panel, m_probe);
        if (ListBox1->count() > 0) {
            Timer2.start();
            ListBox1->setCurrentRow(0);
            T_room_no->setText(ListBox1->item(0)->text());
        }
        if (C_loss->isChecked())
            DataM().CancelRoomCards(T_room_no->text());
        Delay(50);
        if (ListBox1->count() == 0) {
            IssueGuestCard();
            C_loss->setChecked(false);
            for (int k = 0; k < 8; ++k)
                CheckListBox1->item(k)->setCheckState(Qt::Unchecked);
            T_day_num->setText(QStringLiteral("1"));
            T_out_date->setDate(Clock::instance().now().date().addDays(1));
            T_out_time->setTime(cfg::sys().checkout_time);
            SetQueuePaneOpen(false);
        }
        setCheckinButtonsEnabled(true);
        Timer3.start();
    } catch (const Eic& e) {
        setCheckinButtonsEnabled(true);
        Timer3.start();
        closePort();
        MessageBox::warning(this, T().except(e.code()));
    } catch (const std::exception& e) {
        setCheckinButtonsEnabled(true);
        Timer3.start();
        closePort();
        showUnexpectedError(e);
    }
}

void Tform_main::IssueGuestCard()
{
    try {
        if ((DataM().CheckRight(QStringLiteral("010101")) & 0xFF) == 0)
            throw Eic(81);
        const GuestCardIssue::Probe previous = m_probe;
        const QDateTime now = Clock::instance().now();
        if (m_probe.state == 9 && now > checkoutFromFields())
            T_out_date->setDate(now.date().addDays(T_day_num->text().toInt()));
        GuestCardIssue::Request request;
        request.room = T_room_no->text();
        request.checkin = QDateTime(T_in_date->date(), T_in_time->time());
        request.checkout = checkoutFromFields();
        request.lostCard = C_loss->isChecked();
        request.doorByte = GuestCardIssue::doorByte(doorOptions());
        GuestCardIssue::issue(request, previous);

        setCheckinButtonsEnabled(true);
        RefreshConsole();
        if (ListBox1->count() == 0)
            closeWaitingWindow();
        StatusBar1->setPanelText(4, T().state(3));
    } catch (const Eic& e) {
        closePort();
        MessageBox::warning(this, T().except(e.code()));
        setCheckinButtonsEnabled(true);
    } catch (const std::exception& e) {
        closePort();
        showUnexpectedError(e);
        setCheckinButtonsEnabled(true);
    }
}

void Tform_main::Timer2Timer()
{
    const CardWork work;
    if (!work.acquired())
        return; // another card operation runs; the queue waits for the next tick
    Timer2.stop();
    Delay(50);
    try {
        GuestCardIssue::probe(GuestCardIssue::Caller::Batch, m_probe);
        setCheckinButtonsEnabled(false);
        Delay(50);
        const bool newCard = !m_lastBatchSerial || *m_lastBatchSerial != m_probe.serial;
        if (newCard && (m_probe.state == 7 || m_probe.state == 9) && ListBox1->count() > 0) {
            ListBox1->setCurrentRow(0);
            T_room_no->setText(ListBox1->item(0)->text());
            IssueGuestCard();
            delete ListBox1->takeItem(0);
            m_lastBatchSerial = m_probe.serial;
            if (ListBox1->count() == 0) {
                Timer2.stop();
                SetQueuePaneOpen(false);
            }
        }
        if (ListBox1->count() > 0)
            Timer2.start();
        setCheckinButtonsEnabled(true);
    } catch (const Eic& e) {
        // No card yet, or a card that cannot be used: the queue keeps polling.
        closePort();
        setCheckinButtonsEnabled(true);
        Timer2.start();
        StatusBar1->setPanelText(4, T().except(e.code()));
    } catch (const std::exception& e) {
        closePort();
        setCheckinButtonsEnabled(true);
        Timer2.start();
        StatusBar1->setPanelText(4, QString::fromUtf8(e.what()));
    }
}

// --- read -------------------------------------------------------------------------------------

void Tform_main::BitBtn2Click()
{
    const CardWork work;
    if (!work.acquired())
        return;
    Timer3.stop();
    setCheckinButtonsEnabled(false);
    TCard& card = Card();
    try {
        Delay(50);
        const int r = card.ReadCardOwnPort();
        m_probe.result = r;
        Delay(50);
        switch (r) {
        case 1:
            throw Eic(49);
        case 2:
            throw Eic(50);
        case 3: // Key B refused: a factory card or one of another system; nothing to decode
            throw Eic(57);
        case 4:
            throw Eic(63);
        case 5:
            throw Eic(57);
        case 7:
            throw Eic(54);
        default:
            break;
        }
        card.Decode();
        m_probe.kindName = card.kindName;
        if (card.kind != 0) {
            m_probe.state = 8;
            throw Eic(40);
        }
        m_probe.state = 9;
    } catch (const Eic& e) {
        closePort();
        Timer3.start();
        setCheckinButtonsEnabled(true);
        if (!m_readImage.isEmpty()) {
            ResetCheckinPanel();
            m_readImage.clear();
        }
        StatusBar1->setPanelText(4, e.code() == 40 ? m_probe.kindName : T().except(e.code()));
        return;
    } catch (const std::exception& e) {
        closePort();
        Timer3.start();
        setCheckinButtonsEnabled(true);
        StatusBar1->setPanelText(4, QString::fromUtf8(e.what()));
        return;
    }
    try {
        showReadCardInPanel();
    } catch (const std::exception&) {
        // the panel keeps what it could fill
    }
    setCheckinButtonsEnabled(true);
    Timer3.start();
}

void Tform_main::showReadCardInPanel()
{
    TCard& card = Card();
    TDataM& dm = DataM();
    const qint64 days = card.start.date().daysTo(card.end.date());
    auto showStay = [&] {
        T_day_num->setText(QString::number(days));
        T_out_date->setDate(card.end.date());
        T_out_time->setTime(card.end.time());
    };
    if (dm.FindActiveCard(card.contentHex, card.serial)) {
        DataSet& record = dm.Q_curr_issue_card;
        card.roomNo = record.field(QStringLiteral("room_no")).toString();
        card.holderName = record.field(QStringLiteral("own_name")).toString();
        T_room_no->setText(card.roomNo);
        showStay();
        C_loss->setChecked(record.field(QStringLiteral("yn_loss")).toInt() == 1);
    } else {
        QString room;
        DataSet& rooms = dm.Q_setroom;
        for (int r = 0; r < rooms.recordCount(); ++r) {
            if (rooms.value(r, QStringLiteral("building_id")).toInt() == card.building &&
                rooms.value(r, QStringLiteral("floor")).toInt() == card.floor &&
                rooms.value(r, QStringLiteral("room_no_id")).toInt() == card.roomIndex) {
                room = rooms.value(r, QStringLiteral("room_no")).toString();
                break;
            }
        }
        T_room_no->setText(room);
        showStay();
    }
    setDoorOptionsFromByte(card.doorByte);
    const int building = SetBuild->findText(QString::number(card.building));
    if (building >= 0)
        SetBuild->setCurrentIndex(building);
    BuildRoomMap();
    DrawGrid1->selectRoom(T_room_no->text());
    dm.Q_setroom.locate(QStringLiteral("room_no"), T_room_no->text(), {true, false});
    RefreshConsole();
    StatusBar1->setPanelText(4, card.kindName + u' ' + T().label(26) + QStringLiteral(" : ") +
                                    QString::number(card.serial));
    m_readImage = card.contentHex;
}

// --- cancel -----------------------------------------------------------------------------------

void Tform_main::B_cancelClick()
{
    const CardWork work;
    if (!work.acquired())
        return;
    setCheckinButtonsEnabled(false);
    Timer3.stop();
    TCard& card = Card();
    TDataM& dm = DataM();
    try {
        if ((dm.CheckRight(QStringLiteral("010601")) & 0xFF) == 0)
            throw Eic(81);
        Timer1.stop();
        Timer3.stop();
        static const std::map<int, int> readErrors{{1, 49}, {2, 50}, {3, 57}, {4, 63},
                                                   {5, 57}, {6, 61}, {7, 54}};
        const int r = card.ReadCardOwnPort();
        if (readErrors.count(r))
            throw Eic(readErrors.at(r));
        card.Decode();
        m_probe.kindName = card.kindName;
        if (card.kind != 0) {
            m_probe.state = 8;
            throw Eic(40);
        }
        m_probe.state = 9;
        const QString image = card.contentHex;
        const qint64 serial = card.serial;
        Delay(300);
        // A read-back that differs (11) means the card was not erased: its record stays active.
        static const std::map<int, int> eraseErrors{{1, 49}, {2, 50}, {3, 53}, {4, 63}, {5, 57}, {11, 59}};
        const int erased = card.EraseCardVerified();
        if (eraseErrors.count(erased))
            throw Eic(eraseErrors.at(erased));
        dm.CancelCardRecord(image, serial);
        try {
            dm.WriteLog(T().log(14), 3);
        } catch (const DatabaseError&) {
            // the card is erased and its record cancelled; a missing log row must not say otherwise
        }
        RefreshConsole();
        ResetCheckinPanel();
        Timer1.start();
        Timer3.start();
    } catch (const Eic& e) {
        closePort();
        setCheckinButtonsEnabled(true);
        Timer3.start();
        StatusBar1->setPanelText(4, T().except(e.code()));
        if (e.code() == 40) {
            StatusBar1->setPanelText(4, m_probe.kindName);
            MessageBox::warning(this, QStringLiteral("Card Type:") + m_probe.kindName +
                                          QStringLiteral("Can not be cancled；") + u'\r' +
                                          QStringLiteral("Please cancle this card in cancle all card menu"));
        } else {
            MessageBox::warning(this, T().except(e.code()));
        }
    } catch (const std::exception& e) {
        closePort();
        showUnexpectedError(e);
    }
    T_room_no->clear();
    setCheckinButtonsEnabled(true);
    Timer3.start();
}
