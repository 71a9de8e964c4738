#include "frontdesk/TForm_nocard_cancel.h"

#include "config/Settings.h"
#include "datastore/TDataM.h"
#include "frontdesk/CardReading.h"
#include "frontdesk/CardReadingScreens.h"
#include "frontdesk/Tform_main.h"
#include "platform/gui/GridColumns.h"
#include "platform/gui/StatusPanels.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

using ReadingScreens::named;

namespace {

const TextTables& T()
{
    return cfg::texts();
}

} // namespace

TForm_nocard_cancel::TForm_nocard_cancel(Tform_main& console)
    : QWidget(&console, Qt::Window | Qt::WindowStaysOnTopHint), m_console(console)
{
    setObjectName(QStringLiteral("Form_nocard_cancel"));
    Label1 = named<QLabel>(this, "Label1");
    Edit1 = named<QLineEdit>(this, "Edit1");
    Edit1->setMaximumWidth(140);
    Label1->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    BitBtn1 = named<QPushButton>(this, "BitBtn1");
    BitBtn1->setMinimumWidth(90);
    DBGrid1 = named<QTableView>(this, "DBGrid1");
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    B_cancel = named<QPushButton>(this, "B_cancel");
    B_cancel->setMinimumWidth(120);
    StatusBar1 = new StatusPanels({300}, this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));

    auto* search = new QHBoxLayout;
    search->addWidget(Label1);
    search->addWidget(Edit1);
    search->addWidget(BitBtn1);
    search->addStretch();
    search->addWidget(B_cancel);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 10, 10, 0);
    page->addLayout(search);
    page->addWidget(DBGrid1, 1);
    page->addWidget(StatusBar1);
    resize(900, 360);

    // Leaving the field and Enter in it both list the room.
    connect(Edit1, &QLineEdit::editingFinished, this, &TForm_nocard_cancel::Edit1Exit);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm_nocard_cancel::BitBtn1Click);
    connect(B_cancel, &QPushButton::clicked, this, &TForm_nocard_cancel::B_cancelClick);
}

void TForm_nocard_cancel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm_nocard_cancel::closeEvent(QCloseEvent* event)
{
    FormClose();
    QWidget::closeEvent(event);
}

void TForm_nocard_cancel::setColumns()
{
    DataSet& cards = DataM().Q_issue_card;
    // Titles are set at every showing; the grid follows the list when it reopens.
    QObject::disconnect(&cards, &DataSet::afterOpen, DBGrid1, nullptr);
    showColumns(DBGrid1, &cards,
                {{QStringLiteral("room_no"), T().label(4)},
                 {QStringLiteral("own_name"), T().label(66)},
                 {QStringLiteral("card_status_code"), T().label(33)},
                 {QStringLiteral("checkin_datetime"), T().label(5)},
                 {QStringLiteral("checkout_datetime"), T().label(6)},
                 {QStringLiteral("publish_datetime"), T().label(24)},
                 {QStringLiteral("publish_operator"), T().label(23)}});
}

void TForm_nocard_cancel::FormShow()
{
    setWindowTitle(T().form(6));
    Label1->setText(T().label(4));
    B_cancel->setText(T().button(5));
    BitBtn1->setText(T().button(38));
    StatusBar1->clearPanels();
    setColumns();
    const QString consoleRoom = m_console.T_room_no->text();
    if (!consoleRoom.isEmpty()) {
        Edit1->setText(consoleRoom);
        listRoomCards();
        Edit1->selectAll();
    }
    ReadingScreens::holdConsole(m_console, this, false);
}

void TForm_nocard_cancel::listRoomCards()
{
    TDataM& dm = DataM();
    try {
        if (dm.Q_room.isOpen() && !dm.Q_room.isEmpty())
            dm.OpenRoomGuestCards(Edit1->text().trimmed());
        StatusBar1->clearPanels();
    } catch (const std::exception& e) {
        StatusBar1->setPanelText(0, QString::fromUtf8(e.what()));
    }
    // The highlighted row is the one a cancellation takes.
    if (dm.Q_issue_card.isOpen() && !dm.Q_issue_card.isEmpty())
        DBGrid1->selectRow(0);
}

void TForm_nocard_cancel::Edit1Exit()
{
    listRoomCards();
}

void TForm_nocard_cancel::BitBtn1Click()
{
    listRoomCards();
}

void TForm_nocard_cancel::B_cancelClick()
{
    B_cancel->setEnabled(false);
    try {
        const DataSet& cards = DataM().Q_issue_card;
        std::optional<CardReading::IssuedCard> selected;
        if (cards.isOpen() && !cards.isEmpty()) {
            const QModelIndex current = DBGrid1->currentIndex();
            const int row = current.isValid() ? current.row() : 0;
            selected = CardReading::IssuedCard{
                cards.value(row, QStringLiteral("card_date_hex")).toString(),
                cards.value(row, QStringLiteral("card_hard_no")).toString().trimmed().toLongLong()};
        }
        CardReading::CancelWithoutCard(Edit1->text().trimmed(), selected);
        ReadingScreens::redrawConsole(m_console);
        listRoomCards();
    } catch (const std::exception&) {
        // The next recount corrects the counts; the operator may try again.
    }
    B_cancel->setEnabled(true);
}

void TForm_nocard_cancel::FormClose()
{
    ReadingScreens::redrawConsole(m_console);
    try {
        DataM().RefreshRoomStatus();
    } catch (const std::exception&) {
        // the console's refresh shows the rooms as they are
    }
    ReadingScreens::releaseConsole(m_console);
}
