#include "frontdesk/Tform_read_allcard.h"

#include "config/Eic.h"
#include "config/Settings.h"
#include "datastore/TDataM.h"
#include "frontdesk/CardReadingScreens.h"
#include "frontdesk/CardWork.h"
#include "frontdesk/Tform_main.h"
#include "platform/Clock.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/StatusPanels.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

using ReadingScreens::named;

namespace {

const TextTables& T()
{
    return cfg::texts();
}

} // namespace

Tform_read_allcard::Tform_read_allcard(Tform_main& console)
    : QWidget(&console, Qt::Window | Qt::WindowStaysOnTopHint), m_console(console)
{
    setObjectName(QStringLiteral("form_read_allcard"));
    buildLayout();
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &Tform_read_allcard::Timer1Timer);
    connect(B_cancel, &QPushButton::clicked, this, &Tform_read_allcard::B_cancelClick);
    connect(B_exit, &QPushButton::clicked, this, &QWidget::close);
}

void Tform_read_allcard::buildLayout()
{
    auto label = [this](const char* name) { return named<QLabel>(this, name); };
    auto field = [this](const char* name) {
        auto* e = named<QLineEdit>(this, name);
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::ClickFocus);
        e->setMinimumWidth(170);
        return e;
    };
    L_card_type = label("L_card_type");
    L_card_no = label("L_card_no");
    L_building = label("L_building");
    L_floor = label("L_floor");
    L_room = label("L_room");
    L_area = label("L_area");
    L_date = label("L_date");
    L_Pub_name = label("L_Pub_name");
    L_Pub_time = label("L_Pub_time");
    L_holder_name = label("L_holder_name");
    L_remark = label("L_remark");
    L_id = label("L_id");
    T_card_type = field("T_card_type");
    T_card_no = field("T_card_no");
    T_building = field("T_building");
    T_floor = field("T_floor");
    T_room = field("T_room");
    T_area = field("T_area");
    T_intime = field("T_intime");
    T_outtime = field("T_outtime");
    T_Pub_name = field("T_Pub_name");
    T_Pub_time = field("T_Pub_time");
    T_holder_name = field("T_holder_name");
    T_remark = field("T_remark");
    T_ID = field("T_ID");
    C_loss = named<QCheckBox>(this, "C_loss");
    C_loss->setAttribute(Qt::WA_TransparentForMouseEvents); // shows the record only
    C_loss->setFocusPolicy(Qt::NoFocus);
    Label1 = label("Label1");
    Label1->setStyleSheet(QStringLiteral("color: #1f3a93; font-weight: bold"));
    B_cancel = named<QPushButton>(this, "B_cancel");
    B_exit = named<QPushButton>(this, "B_exit");
    StatusBar1 = new StatusPanels({300}, this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));

    auto* card = new QGridLayout;
    card->setHorizontalSpacing(8);
    const std::pair<QLabel*, QWidget*> left[] = {{L_card_type, T_card_type}, {L_card_no, T_card_no},
                                                 {L_building, T_building},   {L_floor, T_floor},
                                                 {L_room, T_room},           {L_area, T_area}};
    int row = 0;
    for (const auto& [l, f] : left) {
        card->addWidget(l, row, 0);
        card->addWidget(f, row++, 1);
    }
    const std::pair<QLabel*, QWidget*> right[] = {{L_holder_name, T_holder_name},
                                                  {L_id, T_ID},
                                                  {L_remark, T_remark},
                                                  {L_Pub_name, T_Pub_name},
                                                  {L_Pub_time, T_Pub_time}};
    row = 0;
    for (const auto& [l, f] : right) {
        card->addWidget(l, row, 3);
        card->addWidget(f, row++, 4);
    }
    card->addWidget(C_loss, row, 4);
    card->setColumnMinimumWidth(2, 16);
    card->setColumnStretch(1, 1);
    card->setColumnStretch(4, 1);

    auto* period = new QHBoxLayout;
    period->addWidget(T_intime, 1);
    period->addWidget(new QLabel(QStringLiteral("—"), this));
    period->addWidget(T_outtime, 1);
    card->addWidget(L_date, 6, 0);
    card->addLayout(period, 6, 1, 1, 4);
    card->addWidget(Label1, 7, 1, 1, 4);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {B_cancel, B_exit}) {
        b->setMinimumWidth(110);
        buttons->addWidget(b);
    }
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 10, 10, 0);
    page->addLayout(card);
    page->addSpacing(6);
    page->addLayout(buttons);
    page->addStretch();
    page->addWidget(StatusBar1);
    resize(720, 300);
}

bool Tform_read_allcard::cancelMode() const
{
    return windowTitle() == T().form(26);
}

void Tform_read_allcard::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tform_read_allcard::closeEvent(QCloseEvent* event)
{
    FormClose();
    QWidget::closeEvent(event);
}

void Tform_read_allcard::setCaptions()
{
    L_card_type->setText(T().label(69));
    L_card_no->setText(T().label(26));
    L_building->setText(T().label(18));
    L_floor->setText(T().label(19));
    L_room->setText(T().label(4));
    L_area->setText(T().label(61));
    L_date->setText(T().label(58));
    L_Pub_name->setText(T().label(23));
    L_Pub_time->setText(T().label(24));
    L_holder_name->setText(T().label(66));
    L_remark->setText(T().label(9));
    L_id->setText(T().label(68));
    C_loss->setText(T().label(8));
    B_cancel->setText(T().button(22));
    B_exit->setText(T().button(3));
}

void Tform_read_allcard::FormShow()
{
    try {
        DataSet& rooms = DataM().Q_room;
        rooms.close();
        rooms.setSql(QStringLiteral("select * from room order by building_id,floor,room_no_id"));
        rooms.open();
    } catch (const std::exception&) {
        // without the room list the card's room number stays empty
    }
    setCaptions();
    ClearScreen();
    StatusBar1->clearPanels();
    if (!ReadingScreens::openEncoderPort())
        StatusBar1->setPanelText(0, T().except(48));
    Timer1.start();
    ReadingScreens::holdConsole(m_console, this, true);
}

void Tform_read_allcard::ClearScreen()
{
    for (QLineEdit* e : {T_card_type, T_card_no, T_building, T_floor, T_room, T_area, T_intime, T_outtime,
                         T_Pub_name, T_Pub_time, T_holder_name, T_remark, T_ID})
        e->clear();
    Label1->clear();
    C_loss->setChecked(false);
    B_cancel->setEnabled(false);
    m_cardShown = false;
}

void Tform_read_allcard::showCard(const CardReading::CardView& card)
{
    T_card_type->setText(card.cardType);
    T_card_no->setText(card.cardNo);
    T_building->setText(card.building);
    T_floor->setText(card.floor);
    T_room->setText(card.room);
    T_area->setText(card.area);
    T_intime->setText(card.inTime);
    T_outtime->setText(card.outTime);
    T_Pub_name->setText(card.publishOperator);
    T_Pub_time->setText(card.publishTime);
    T_holder_name->setText(card.holderName);
    T_remark->setText(card.remark);
    T_ID->setText(card.ownId);
    C_loss->setChecked(card.loss);
    Label1->setText(card.label1);
    m_cardShown = true;
}

void Tform_read_allcard::Timer1Timer()
{
    const CardWork work;
    if (!work.acquired())
        return;
    try {
        const CardReading::CardView card = CardReading::ReadAnyCard(CardReading::databaseLookups());
        ClearScreen();
        showCard(card);
        StatusBar1->setPanelText(0, QString());
        if (cancelMode())
            B_cancel->setEnabled(true);
    } catch (const Eic& e) {
        StatusBar1->setPanelText(0, T().except(e.code()));
        ClearScreen();
    } catch (const std::exception& e) {
        // A date on the card the calendar does not have, or the database gone.
        StatusBar1->setPanelText(0, QString::fromUtf8(e.what()));
        ClearScreen();
    }
}

void Tform_read_allcard::B_cancelClick()
{
    const CardWork work;
    if (!work.acquired())
        return;
    Timer1.stop();
    B_cancel->setEnabled(false);
    try {
        CardReading::ResetAnyCard();
        try {
            m_console.ShowRoomCounts();
            m_console.BuildRoomMap();
            m_console.DrawGrid1->update();
        } catch (const std::exception&) {
            // the console's refresh brings the map up to date
        }
        ClearScreen();
    } catch (const Eic& e) {
        MessageBox::warning(this, T().except(e.code()));
    } catch (const std::exception& e) {
        MessageBox::error(this, QString::fromUtf8(e.what()));
    }
    // Offered again only while the card is still shown: after a reset the screen is empty.
    B_cancel->setEnabled(m_cardShown && cancelMode());
    Delay(50);
    Timer1.start();
}

void Tform_read_allcard::FormClose()
{
    try {
        m_console.ShowRoomCounts();
        DataM().RefreshRoomStatus();
    } catch (const std::exception&) {
        // the console's refresh shows the rooms as they are
    }
    ReadingScreens::redrawConsole(m_console);
    ReadingScreens::releaseConsole(m_console);
    Timer1.stop();
    ClearScreen();
    ReadingScreens::closeEncoderPort();
}
