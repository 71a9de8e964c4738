#include "frontdesk/Tform_main.h"

#include "config/Eic.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "datastore/ConnectionString.h"
#include "datastore/DatabaseError.h"
#include "datastore/TDataM.h"
#include "frontdesk/CardWork.h"
#include "platform/Clock.h"
#include "platform/WinPath.h"
#include "platform/gui/GridColumns.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/StatusPanels.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <stdexcept>

// The icons live in the static screen library and nothing refers to them by symbol, so the
// linker would leave them out unless they are registered by name.
static void registerToolbarIcons()
{
    Q_INIT_RESOURCE(toolbar);
}

namespace {

const TextTables& T()
{
    return cfg::texts();
}

QIcon commandIcon(const QString& name)
{
    const QString file = QStringLiteral(":/toolbar/%1.png").arg(name);
    return QFileInfo::exists(file) ? QIcon(file) : QIcon();
}

// An embedded database file removed under the running program keeps answering from the deleted
// file, and whatever is written afterwards is lost with it: a missing file counts as a failed
// database, so the periodic refresh falls back to the server.
void checkDatabaseFilePresent()
{
    const DbConnection& conn = DataM().Conn;
    if (conn.engine() != Engine::SQLite)
        return;
    const QString file =
        ConnectionString::parse(conn.connectionString()).value(QStringLiteral("Data Source"));
    if (!file.isEmpty() && !QFileInfo::exists(file))
        throw DatabaseError(QStringLiteral("The database file %1 is gone.").arg(file));
}

// Columns wide enough for a sample of their content (date-times, status codes), so the
// texts stay on one line.
void fitColumns(QTableView* grid, const DataSet& data, const std::map<QString, QString>& samples)
{
    const QFontMetrics text(grid->font());
    const QFontMetrics title(grid->horizontalHeader()->font());
    constexpr int kPadding = 16;
    for (const auto& [field, sample] : samples) {
        const int column = data.fieldIndex(field);
        if (column < 0)
            continue;
        const QString label = data.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        grid->setColumnWidth(
            column, std::max(text.horizontalAdvance(sample), title.horizontalAdvance(label)) + kPadding);
    }
}

} // namespace

// One command of the console: a menu item (maybe hidden), its tool button, key and right.
struct Tform_main::Command
{
    QString name;
    QString tool; // tool button, empty when none
    QKeySequence key;
    QString right;     // empty: no right checked
    int menuText = -1; // "menu" entry of the caption and the tool hint
    bool hidden = false;
    bool clearsRoom = false;
    std::function<void()> run;
};

Tform_main::Tform_main(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("form_main"));
    registerToolbarIcons();
    buildLayout();
    buildCommands();
    buildPopupMenu();
    loadPictures();
    Timer1.setInterval(500);
    Timer2.setInterval(1500);
    Timer3.setInterval(5000);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer3.setObjectName(QStringLiteral("Timer3"));
    connect(&Timer3, &QTimer::timeout, this, &Tform_main::Timer3Timer);
    // The card list reopens at every refresh, and the grid's column widths go with it.
    connect(&DataM().Q_issue_card, &DataSet::afterOpen, DBGrid1, [this] { fitCardListColumns(); });
    connect(B_ok, &QPushButton::clicked, this, &Tform_main::B_okClick);
    connect(BitBtn2, &QPushButton::clicked, this, &Tform_main::BitBtn2Click);
    connect(B_cancel, &QPushButton::clicked, this, &Tform_main::B_cancelClick);
    connect(&Timer2, &QTimer::timeout, this, &Tform_main::Timer2Timer);
    connectStayFields();
    qApp->installEventFilter(this);
}

Tform_main::~Tform_main() = default;

QAction* Tform_main::action(const QString& name) const
{
    const auto it = m_actions.find(name);
    return it == m_actions.end() ? nullptr : it->second;
}

bool Tform_main::cardWorkBusy()
{
    return CardWork::busy();
}

// --- layout ------------------------------------------------------------------------------------

void Tform_main::buildLayout()
{
    TBar_client = addToolBar(QStringLiteral("client"));
    TBar_server = addToolBar(QStringLiteral("server"));
    TBar_super = addToolBar(QStringLiteral("super"));
    for (QToolBar* bar : {TBar_client, TBar_server, TBar_super}) {
        bar->setObjectName(bar == TBar_client   ? QStringLiteral("TBar_client")
                           : bar == TBar_server ? QStringLiteral("TBar_server")
                                                : QStringLiteral("TBar_super"));
        bar->setIconSize(QSize(32, 32));
        bar->setMovable(false);
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    TBar_super->setVisible(false);

    cxSplitter1 = new QSplitter(Qt::Vertical, this);
    cxSplitter1->setObjectName(QStringLiteral("cxSplitter1"));
    setCentralWidget(cxSplitter1);

    MapArea = new QScrollArea(cxSplitter1);
    MapArea->setObjectName(QStringLiteral("MapArea"));
    DrawGrid1 = new RoomMapGrid;
    MapArea->setWidget(DrawGrid1);
    MapArea->setWidgetResizable(false);
    MapArea->setBackgroundRole(QPalette::Window);
    MapArea->setPalette(DrawGrid1->palette());
    MapArea->setAutoFillBackground(true);
    connect(DrawGrid1, &RoomMapGrid::cellClicked, this, &Tform_main::onCellClicked);
    connect(DrawGrid1, &RoomMapGrid::cellCtrlClicked, this, &Tform_main::onCellCtrlClicked);
    connect(DrawGrid1, &RoomMapGrid::cellDoubleClicked, this, &Tform_main::onCellDoubleClicked);
    connect(DrawGrid1, &RoomMapGrid::contextMenuAt, this, &Tform_main::onMapContextMenu);

    PageControl1 = new QTabWidget(cxSplitter1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setTabPosition(QTabWidget::West);
    PageControl1->setMinimumHeight(137);

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto* tab1 = new QHBoxLayout(TabSheet1);
    tab1->setContentsMargins(2, 2, 2, 2);
    cxSplitter2 = new QSplitter(Qt::Horizontal, TabSheet1);
    cxSplitter2->setObjectName(QStringLiteral("cxSplitter2"));
    tab1->addWidget(cxSplitter2);
    ListBox1 = new QListWidget(cxSplitter2);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { delete item; });
    cxSplitter3 = new QSplitter(Qt::Horizontal, cxSplitter2);
    cxSplitter3->setObjectName(QStringLiteral("cxSplitter3"));
    Panel2 = new QWidget(cxSplitter3);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    buildCheckinPanel(Panel2);
    DBGrid1 = new QTableView(cxSplitter3);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->setWordWrap(false);
    cxSplitter3->setStretchFactor(1, 1);
    cxSplitter2->setStretchFactor(1, 1);
    cxSplitter2->setSizes({0, 1});

    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    auto* tab2 = new QVBoxLayout(TabSheet2);
    tab2->setContentsMargins(2, 2, 2, 2);
    DBGrid2 = new QTableView(TabSheet2);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid2->verticalHeader()->hide();
    DBGrid2->setWordWrap(false);
    tab2->addWidget(DBGrid2);
    PageControl1->addTab(TabSheet1, QStringLiteral("1"));
    PageControl1->addTab(TabSheet2, QStringLiteral("2"));
    cxSplitter1->setStretchFactor(0, 1);
    cxSplitter1->setCollapsible(0, false);

    StatusBar1 = new StatusPanels({150, 150, 150, 150, 50}, this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);
}

void Tform_main::buildCheckinPanel(QWidget* panel)
{
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    L_room_no = static_cast<QLabel*>(named(new QLabel, "L_room_no"));
    T_room_no = static_cast<QLineEdit*>(named(new QLineEdit, "T_room_no"));
    T_room_no->setMaxLength(6);
    T_room_no->setMaximumWidth(90);
    L_day_num = static_cast<QLabel*>(named(new QLabel, "L_day_num"));
    T_day_num = static_cast<QLineEdit*>(named(new QLineEdit(QStringLiteral("1")), "T_day_num"));
    // Nights are a number; letters would only end in a conversion error.
    T_day_num->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")), T_day_num));
    T_day_num->setMaximumWidth(50);
    C_loss = static_cast<QCheckBox*>(named(new QCheckBox, "C_loss"));
    Label3 = static_cast<QLabel*>(named(new QLabel, "Label3"));
    T_in_date = static_cast<QDateEdit*>(named(new QDateEdit, "T_in_date"));
    T_in_time = static_cast<QTimeEdit*>(named(new QTimeEdit, "T_in_time"));
    L_out_time = static_cast<QLabel*>(named(new QLabel, "L_out_time"));
    T_out_date = static_cast<QDateEdit*>(named(new QDateEdit, "T_out_date"));
    T_out_time = static_cast<QTimeEdit*>(named(new QTimeEdit, "T_out_time"));
    for (QDateEdit* d : {T_in_date, T_out_date}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    for (QTimeEdit* t : {T_in_time, T_out_time})
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    Label1 = static_cast<QLabel*>(named(new QLabel, "Label1"));
    SetBuild = static_cast<QComboBox*>(named(new QComboBox, "SetBuild"));
    SetBuild->setEditable(true);
    SetBuild->setMinimumWidth(90);
    Label2 = static_cast<QLabel*>(named(new QLabel, "Label2"));
    Label2->setStyleSheet(QStringLiteral("color: #1f3a93; font-weight: bold"));
    CheckListBox1 = static_cast<QListWidget*>(named(new QListWidget, "CheckListBox1"));
    CheckListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int i = 0; i < 8; ++i) {
        auto* item = new QListWidgetItem(CheckListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    BitBtn2 = static_cast<QPushButton*>(named(new QPushButton, "BitBtn2"));
    B_cancel = static_cast<QPushButton*>(named(new QPushButton, "B_cancel"));
    B_ok = static_cast<QPushButton*>(named(new QPushButton, "B_ok"));
    B_ok->setDefault(true);

    grid->addWidget(L_room_no, 0, 0);
    grid->addWidget(T_room_no, 0, 1);
    grid->addWidget(L_day_num, 0, 2);
    grid->addWidget(T_day_num, 0, 3);
    grid->addWidget(C_loss, 0, 4, 1, 2);
    grid->addWidget(Label3, 1, 0);
    grid->addWidget(T_in_date, 1, 1, 1, 2);
    grid->addWidget(T_in_time, 1, 3, 1, 2);
    grid->addWidget(L_out_time, 2, 0);
    grid->addWidget(T_out_date, 2, 1, 1, 2);
    grid->addWidget(T_out_time, 2, 3, 1, 2);
    grid->addWidget(Label1, 3, 0);
    grid->addWidget(SetBuild, 3, 1, 1, 2);
    grid->addWidget(Label2, 3, 3, 1, 3);
    grid->addWidget(CheckListBox1, 0, 6, 4, 1);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {B_ok, BitBtn2, B_cancel}) {
        b->setMinimumWidth(96);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    grid->addLayout(buttons, 0, 7, 4, 1);
    grid->setColumnStretch(5, 1);

    T_room_no->installEventFilter(this);
    SetBuild->lineEdit()->setValidator(nullptr);
    connect(SetBuild, &QComboBox::textActivated, this, [this] { BuildRoomMap(); });
    connect(SetBuild->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        QString digits;
        for (QChar c : text)
            if (c.isDigit() && c.unicode() < 0x80)
                digits += c;
        if (digits != text)
            SetBuild->lineEdit()->setText(digits);
        if (digits.isEmpty() && SetBuild->count() > 0)
            SetBuild->setCurrentIndex(0); // an emptied box falls back to its first entry
        BuildRoomMap();
    });
}

void Tform_main::loadPictures()
{
    const int size = cfg::sys().bgkd;
    std::vector<QPixmap> pictures;
    std::vector<QPixmap> icons;
    for (int n = 0; n <= 8; ++n) {
        const QString file = WinPath::toLocal(QStringLiteral(".\\bmp\\%1.bmp").arg(n));
        QPixmap p(file);
        if (p.isNull())
            throw std::runtime_error(QStringLiteral("Cannot open file \"%1\".").arg(file).toStdString());
        pictures.push_back(p.width() == size && p.height() == size ? p : p.scaled(size, size));
    }
    for (int n = 0; n <= 6; ++n) {
        const QString file = WinPath::toLocal(QStringLiteral(".\\ico\\%1.ico").arg(n));
        QPixmap p(file);
        if (p.isNull())
            throw std::runtime_error(QStringLiteral("Cannot open file \"%1\".").arg(file).toStdString());
        icons.push_back(p.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    DrawGrid1->setPictures(std::move(pictures), std::move(icons));
    DrawGrid1->setCellSize(size);
}

// --- commands ----------------------------------------------------------------------------------

void Tform_main::buildCommands()
{
    auto screen = [this](const QString& name) {
        return [this, name] {
            const auto it = m_screens.find(name);
            if (it != m_screens.end())
                it->second(*this);
            else
                notYetBuilt(name);
        };
    };
    auto document = [this](const char* file) {
        return [this, file] { openDocument(QString::fromUtf8(file)); };
    };
    auto nothing = [] {};
    using K = QKeySequence;
    // name, tool button, key, right, "menu" entry, hidden, clears the room field, action
    m_commands = {
        {"M_issue_card", "TB_issue_card", K(Qt::Key_F2), "010101", 2, false, true, screen("M_issue_card")},
        {"M_read_card", "TB_read_card", K(Qt::Key_F3), "010201", 3, false, true, screen("M_read_card")},
        {"M_chang_room", "TB_chang_room", K(Qt::Key_F4), "010401", 4, false, true, screen("M_chang_room")},
        {"M_chang_checkout", "TB_chang_checkout", K(Qt::Key_F5), "010501", 5, false, true,
         screen("M_chang_checkout")},
        {"M_cancel_card", "TB_cancel_card", K(Qt::Key_F6), "010601", 6, false, true, screen("M_cancel_card")},
        {"M_cancel_nocard", "TB_cancel_nocard", K(Qt::Key_F7), "010701", 7, false, true,
         screen("M_cancel_nocard")},
        {"GetData1", "", K(Qt::Key_F8), "", 77, true, false, screen("GetData1")},
        {"N17", "", K(Qt::SHIFT | Qt::Key_F1), "", -1, true, false, screen("N17")},
        {"M_work_record", "TB_work_record", K(Qt::Key_F9), "", 32, true, false, nothing},
        {"M_shift", "TB_shift", K(Qt::Key_F10), "020201", 33, false, true, screen("M_shift")},
        {"M_chang_pwd", "TB_chang_pwd", K(Qt::Key_F11), "020301", 34, false, true, screen("M_chang_pwd")},
        {"M_lock_app", "TB_lock_app", K(Qt::Key_F12), "", 35, false, false, screen("M_lock_app")},
        {"N4", "", K(Qt::CTRL | Qt::Key_F1), "", -1, true, false, screen("N4")},
        {"N12", "", K(Qt::CTRL | Qt::Key_F2), "050301", 73, false, false, screen("N12")},
        {"N13", "", K(Qt::CTRL | Qt::Key_F3), "050301", 72, false, false, screen("N13")},
        {"M_issue_cards", "TB_issue_cards", K(Qt::CTRL | Qt::Key_F4), "030101", 42, false, true,
         screen("M_issue_cards")},
        {"M_read_cards", "TB_read_cards", K(Qt::CTRL | Qt::Key_F5), "030201", 44, false, true,
         screen("M_read_cards")},
        {"N5", "", K(Qt::CTRL | Qt::Key_F6), "", 76, false, false, screen("N5")},
        {"M_update_timecard", "TB_update_timecard", K(Qt::CTRL | Qt::Key_F7), "030301", 46, false, true,
         screen("M_update_timecard")},
        {"M_cancel_cards", "TB_cancel_cards", K(Qt::CTRL | Qt::Key_F8), "030401", 43, false, true,
         screen("M_cancel_cards")},
        {"N3", "", K(Qt::CTRL | Qt::Key_F9), "050101", 70, false, false, screen("N3")},
        {"N10", "", K(Qt::CTRL | Qt::Key_F10), "", -1, true, false, screen("N10")},
        {"M_sys_log", "TB_sys_log", K(Qt::CTRL | Qt::Key_F11), "040101", 55, false, true,
         screen("M_sys_log")},
        {"M_card_log", "TB_card_log", K(Qt::CTRL | Qt::Key_F12), "040201", 54, false, true,
         screen("M_card_log")},
        {"N18", "", K(Qt::SHIFT | Qt::Key_F2), "040201", 80, true, false, screen("N18")},
        {"N19", "", K(Qt::SHIFT | Qt::Key_F3), "", 77, false, false, screen("N19")},
        {"N20", "", K(Qt::SHIFT | Qt::Key_F4), "", 77, true, false, screen("N20")},
        {"PDA3", "", K(Qt::SHIFT | Qt::Key_F5), "020501", 78, false, false, screen("PDA3")},
        {"N14", "", K(Qt::SHIFT | Qt::Key_F6), "", -1, true, false, document("门锁设置方法.doc")},
        {"N15", "", K(Qt::SHIFT | Qt::Key_F7), "", -1, true, false, document("常见问题分析与处理.doc")},
        {"N16", "", K(Qt::Key_F1), "", -1, true, false, document("软件使用手册.doc")},
        {"M_room_setting", "TB_room_setting", K(Qt::CTRL | Qt::Key_A), "050101", 63, false, true,
         screen("M_room_setting")},
        {"M_clear_area", "", K(Qt::CTRL | Qt::Key_B), "050201", 64, false, true, screen("M_clear_area")},
        {"M_sys_parameter", "TB_setting_sys", K(Qt::CTRL | Qt::Key_D), "050301", 62, false, true,
         screen("M_sys_parameter")},
        {"M_manage_operator", "TB_setting_operator", K(Qt::CTRL | Qt::Key_E), "060101", 68, false, true,
         screen("M_manage_operator")},
        {"N8", "", K(Qt::CTRL | Qt::Key_G), "070101", 81, false, false, screen("N8")},
        {"M_about_us", "", K(Qt::CTRL | Qt::Key_Z), "", 37, false, true, screen("M_about_us")},
        {"M_exit", "", K(Qt::CTRL | Qt::Key_Q), "", 38, false, false, [this] { close(); }},
        // Hidden items without a key: they exist but cannot be reached.
        {"PDA1", "", K(), "", 78, true, false, nothing},
        {"PDA2", "", K(), "", 79, true, false, nothing},
        {"N2", "", K(), "", 71, true, false, nothing},
        {"N6", "", K(), "", -1, true, false, nothing},
        {"N9", "", K(), "", -1, true, false, nothing},
        {"N11", "", K(), "", -1, true, false, nothing},
        {"N21", "", K(), "", 80, true, false, nothing},
    };

    for (const Command& c : m_commands) {
        auto* a = new QAction(this);
        a->setObjectName(c.name);
        if (!c.key.isEmpty())
            a->setShortcut(c.key);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setIcon(commandIcon(c.tool.isEmpty() ? c.name : c.tool));
        const Command* command = &c;
        connect(a, &QAction::triggered, this, [this, command] { runGated(*command); });
        // Hidden commands are kept on the window itself: out of every menu, their keys still work.
        addAction(a);
        m_actions[c.name] = a;
    }

    auto menu = [this](const char* name) {
        QMenu* m = menuBar()->addMenu(QString());
        m->setObjectName(QLatin1String(name));
        m_actions[QLatin1String(name)] = m->menuAction();
        return m;
    };
    auto add = [this](QMenu* m, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (n[0] == '-')
                m->addSeparator();
            else
                m->addAction(m_actions.at(QLatin1String(n)));
        }
    };
    add(menu("M_register"), {"M_issue_card", "M_read_card", "M_chang_room", "M_chang_checkout",
                             "M_cancel_card", "M_cancel_nocard", "-", "M_exit"});
    add(menu("M_Tools"), {"M_shift", "M_chang_pwd", "M_lock_app"});
    add(menu("M_card_manage"),
        {"M_issue_cards", "M_read_cards", "M_cancel_cards", "M_update_timecard", "-", "N5"});
    add(menu("M_query"), {"M_sys_log", "M_card_log", "-", "N19", "PDA3"});
    add(menu("M_system_setting"),
        {"M_sys_parameter", "M_room_setting", "M_clear_area", "-", "N3", "N12", "N13"});
    add(menu("M_super_manager"), {"M_manage_operator", "N8"});
    add(menu("M_about"), {"M_about_us"});

    auto tools = [this](QToolBar* bar, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (n[0] == '-') {
                bar->addSeparator();
                continue;
            }
            const auto it = std::find_if(m_commands.begin(), m_commands.end(),
                                         [n](const Command& c) { return c.tool == QLatin1String(n); });
            QAction* a = m_actions.at(it->name);
            bar->addAction(a);
            if (QWidget* button = bar->widgetForAction(a))
                button->setObjectName(QLatin1String(n));
            m_actions[QLatin1String(n)] = a;
        }
    };
    tools(TBar_client,
          {"TB_issue_card", "TB_read_card", "TB_chang_room", "TB_chang_checkout", "TB_cancel_card",
           "TB_cancel_nocard", "-", "TB_shift", "TB_chang_pwd", "TB_lock_app"});
    tools(TBar_server, {"TB_issue_cards", "TB_read_cards", "TB_update_timecard", "TB_cancel_cards", "-",
                        "TB_sys_log", "TB_card_log", "-", "TB_room_setting", "TB_setting_sys"});
    tools(TBar_super, {"TB_setting_operator"});
    m_actions["TB_work_record"] = m_actions.at(QStringLiteral("M_work_record"));
}

void Tform_main::setScreen(const QString& command, ScreenOpener opener)
{
    m_screens[command] = std::move(opener);
}

void Tform_main::RunCommand(const QString& name)
{
    const auto it =
        std::find_if(m_commands.begin(), m_commands.end(), [&](const Command& c) { return c.name == name; });
    if (it != m_commands.end())
        runGated(*it);
}

void Tform_main::runGated(const Command& command)
{
    try {
        if (!command.right.isEmpty() && (DataM().CheckRight(command.right) & 0xFF) == 0)
            throw Eic(81);
        if (command.clearsRoom)
            T_room_no->clear();
        command.run();
    } catch (const Eic& e) {
        MessageBox::warning(this, T().except(e.code()));
    } catch (const DatabaseError& e) {
        MessageBox::error(this, QString::fromUtf8(e.what()));
    }
}

void Tform_main::notYetBuilt(const QString& command)
{
    const QAction* a = action(command);
    const QString title = a ? a->text() : QString();
    const QString text = QStringLiteral("This screen is not part of this build yet.");
    MessageBox::information(this, title.isEmpty() ? text : QStringLiteral("%1: %2").arg(title, text));
}

void Tform_main::openDocument(const QString& name)
{
    // Looked up in the installation folder; a missing document is the desktop's business.
    QDesktopServices::openUrl(QUrl::fromLocalFile(WinPath::toLocal(name)));
}

void Tform_main::buildPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    for (const char* name :
         {"PM_free", "PM_uesed", "PM_reserve", "PM_self", "PM_repair", "PM_close", "PM_clear"}) {
        QAction* a = PopupMenu1->addAction(QString());
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, [this, a] { setSelectedRoomStatus(a->text()); });
        m_actions[QLatin1String(name)] = a;
    }
}

void Tform_main::SetCaptions()
{
    setWindowTitle(T().version(1));
    const std::map<QString, int> menuTexts{{"M_register", 1},      {"M_Tools", 31}, {"M_about", 36},
                                           {"M_card_manage", 41},  {"M_query", 51}, {"M_system_setting", 61},
                                           {"M_super_manager", 66}};
    for (const auto& [name, entry] : menuTexts)
        m_actions.at(name)->setText(T().menu(entry));
    for (const Command& c : m_commands) {
        QAction* a = m_actions.at(c.name);
        if (c.menuText >= 0) {
            a->setText(T().menu(c.menuText));
            a->setToolTip(T().menu(c.menuText));
        }
    }
    // The room states are the configured codes themselves; no accelerator is added to them.
    const StatusCodes& codes = cfg::codes();
    const std::pair<const char*, QString> states[] = {
        {"PM_free", codes.room_empty}, {"PM_uesed", codes.room_used},    {"PM_reserve", codes.room_reserve},
        {"PM_self", codes.room_self},  {"PM_repair", codes.room_repair}, {"PM_close", codes.room_closed},
        {"PM_clear", codes.room_dirty}};
    for (const auto& [name, code] : states) {
        QAction* a = m_actions.at(QLatin1String(name));
        a->setText(code);
    }
    L_room_no->setText(T().label(4));
    Label3->setText(T().label(5));
    L_out_time->setText(T().label(6));
    L_day_num->setText(T().label(7));
    C_loss->setText(T().label(8));
    Label1->setText(T().label(18));
    for (int i = 0; i < 8; ++i)
        CheckListBox1->item(i)->setText(T().label(115 + i));
    // As wide as the longest door option with its tick box, plus room for the scroll bar.
    CheckListBox1->setFixedWidth(CheckListBox1->sizeHintForColumn(0) + 2 * CheckListBox1->frameWidth() +
                                 CheckListBox1->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
    B_ok->setText(T().button(1));
    BitBtn2->setText(T().button(7));
    B_cancel->setText(T().button(22));
}

// --- showing, map and refresh ------------------------------------------------------------------

void Tform_main::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    SetCaptions();
    TDataM& dm = DataM();
    showColumns(DBGrid1, &dm.Q_issue_card,
                {{"card_status_code", T().label(33)},
                 {"card_hard_no", T().label(26)},
                 {"room_no", T().label(4)},
                 {"publish_datetime", T().label(24)},
                 {"publish_operator", T().label(23)},
                 {"checkin_datetime", T().label(5)},
                 {"checkout_datetime", T().label(6)},
                 {"own_name", T().label(66)},
                 {"cancel_datetime", T().label(31)},
                 {"cancel_operator", T().label(32)},
                 {"remark", T().label(9)},
                 {"yn_loss", T().label(8)}});
    showColumns(DBGrid2, &dm.Q_setroom,
                {{"room_no", T().label(4)},
                 {"building_id", T().label(18)},
                 {"floor", T().label(19)},
                 {"descript", T().label(20)},
                 {"room_status_code", T().label(21)},
                 {"card_num", T().label(22)},
                 {"remark", T().label(9)}});
    fillBuildings();
    RefreshConsole();
    fitCardListColumns();
    Timer1.start();
    Timer3.start();
    T_out_date->setEnabled(true);
    ResetCheckinDates();
}

void Tform_main::fitCardListColumns()
{
    const QString dateTime = QStringLiteral("0000-00-00 00:00:00");
    fitColumns(DBGrid1, DataM().Q_issue_card,
               {{"card_status_code", cfg::codes().GC_AVAILABLE},
                {"publish_datetime", dateTime},
                {"checkin_datetime", dateTime},
                {"checkout_datetime", dateTime},
                {"cancel_datetime", dateTime}});
}

void Tform_main::fillBuildings()
{
    const QSignalBlocker block(SetBuild);
    SetBuild->clear();
    try {
        DataSet& q = DataM().Q_select;
        q.setSql(QStringLiteral("select building_id from room group by building_id order by building_id"));
        q.open();
        QString previous;
        for (q.first(); !q.eof(); q.next()) {
            const QString b = q.field(QStringLiteral("building_id")).toString();
            if (b != previous)
                SetBuild->addItem(b);
            previous = b;
        }
    } catch (const DatabaseError&) {
        // An unreadable room list leaves only the "all buildings" entry.
    }
    SetBuild->addItem(T().label(196));
    SetBuild->setCurrentIndex(0);
}

void Tform_main::BuildRoomMap()
{
    TDataM& dm = DataM();
    const QString choice = SetBuild->currentText();
    bool oneBuilding = !choice.isEmpty() && choice != T().label(196);
    const int building = choice.toInt(&oneBuilding) & 0xFF;
    dm.OpenRoomDisplay(oneBuilding, static_cast<quint8>(building));
    DataSet& rooms = dm.Q_display;
    std::vector<MapRoom> list;
    list.reserve(static_cast<size_t>(rooms.recordCount()));
    const int cBuilding = rooms.fieldIndex(QStringLiteral("building_id"));
    const int cFloor = rooms.fieldIndex(QStringLiteral("floor"));
    const int cRoom = rooms.fieldIndex(QStringLiteral("room_no"));
    const int cStatus = rooms.fieldIndex(QStringLiteral("room_status_code"));
    const int cCards = rooms.fieldIndex(QStringLiteral("card_num"));
    for (int r = 0; r < rooms.recordCount(); ++r) {
        list.push_back({rooms.value(r, cBuilding).toInt(), rooms.value(r, cFloor).toInt(),
                        rooms.value(r, cRoom).toString(), rooms.value(r, cStatus).toString(),
                        rooms.value(r, cCards).toInt()});
    }
    const int selectedRow = DrawGrid1->selectedRow();
    const int selectedColumn = DrawGrid1->selectedColumn();
    DrawGrid1->setCellSize(cfg::sys().bgkd);
    DrawGrid1->setRooms(std::move(list), cfg::sys().cols_num);
    DrawGrid1->selectCell(selectedRow, selectedColumn);
}

void Tform_main::ShowRoomCounts()
{
    TDataM& dm = DataM();
    dm.CountRoomStatus();
    StatusBar1->setPanelText(0, T().state(36) + QString::number(dm.UsedRoomCount));
    StatusBar1->setPanelText(1, T().state(37) + QString::number(dm.RoomCount));
    StatusBar1->setPanelText(2, T().state(38) + QString::number(dm.ActiveCardCount));
}

void Tform_main::refreshData()
{
    checkDatabaseFilePresent();
    ShowRoomCounts();
    BuildRoomMap();
    DrawGrid1->update();
    DataM().OpenRoomGuestCards(T_room_no->text());
    Q_EMIT refreshed();
}

void Tform_main::RefreshConsole()
{
    try {
        refreshData();
    } catch (const std::exception&) {
        // The map keeps its last picture; the periodic refresh falls back to the server.
    }
}

void Tform_main::Timer3Timer()
{
    Timer3.stop();
    try {
        refreshData();
    } catch (const std::exception&) {
        // The database is gone: fall back to the server connection, quietly; the map keeps
        // its last picture until a refresh succeeds.
        DataM().ReconnectToServer();
        setEnabled(true);
        for (QPushButton* b : {B_ok, B_cancel, BitBtn2})
            b->setEnabled(true);
    }
    Timer3.start();
}

void Tform_main::SelectCell(int row, int column)
{
    DrawGrid1->selectCell(row, column);
    const MapRoom* room = DrawGrid1->roomAt(row, column);
    if (!room)
        return;
    T_room_no->setText(room->roomNo);
    try {
        DataM().Q_display.moveTo(DrawGrid1->layout().roomAt(row, column) - 1);
        RefreshConsole();
    } catch (const std::exception&) {
        // selection keeps working when the database does not answer
    }
}

void Tform_main::onCellClicked(int row, int column)
{
    SelectCell(row, column);
}

void Tform_main::onCellCtrlClicked(int row, int column)
{
    SelectCell(row, column);
    QueueRoom(T_room_no->text());
}

void Tform_main::onCellDoubleClicked(int row, int column)
{
    Q_UNUSED(row);
    Q_UNUSED(column);
    const auto it = std::find_if(m_commands.begin(), m_commands.end(),
                                 [](const Command& c) { return c.name == QLatin1String("M_issue_card"); });
    Command withRoom = *it;
    withRoom.clearsRoom = false; // the selected room goes to the issue screen
    runGated(withRoom);
}

void Tform_main::QueueRoom(const QString& roomNo)
{
    if (roomNo.isEmpty())
        return;
    SetQueuePaneOpen(true);
    ListBox1->addItem(roomNo);
}

void Tform_main::SetQueuePaneOpen(bool open)
{
    const int total = std::max(200, cxSplitter2->width());
    cxSplitter2->setSizes(open ? QList<int>{120, total - 120} : QList<int>{0, total});
}

void Tform_main::SetBottomPaneOpen(bool open)
{
    const int total = std::max(400, cxSplitter1->height());
    const int bottom = std::max(PageControl1->minimumHeight(), PageControl1->sizeHint().height());
    cxSplitter1->setSizes(open ? QList<int>{total - bottom, bottom} : QList<int>{total, 0});
}

void Tform_main::onMapContextMenu(int row, int column, const QPoint& globalPos)
{
    DrawGrid1->selectCell(row, column);
    PopupMenu1->popup(globalPos);
}

void Tform_main::setSelectedRoomStatus(const QString& status)
{
    const int n = DrawGrid1->layout().roomAt(DrawGrid1->selectedRow(), DrawGrid1->selectedColumn());
    if (n <= 0)
        return;
    try {
        if ((DataM().CheckRight(QStringLiteral("020401")) & 0xFF) == 0) {
            MessageBox::warning(this, T().except(81));
            return;
        }
        DataSet& rooms = DataM().Q_display;
        rooms.moveTo(n - 1);
        rooms.edit();
        rooms.setField(QStringLiteral("room_status_code"), status);
        rooms.post();
        BuildRoomMap();
        DrawGrid1->update();
    } catch (const std::exception&) {
        // the map keeps its last picture
    }
}

void Tform_main::ResetCheckinDates()
{
    const QDateTime now = Clock::instance().now();
    const bool afterDayBoundary = now.time() > cfg::sys().dayout_time;
    T_in_date->setDate(now.date());
    T_in_time->setTime(now.time());
    T_out_date->setDate(afterDayBoundary ? now.date().addDays(1) : now.date());
    T_out_time->setTime(cfg::sys().checkout_time);
    T_day_num->setText(afterDayBoundary ? QStringLiteral("1") : QStringLiteral("0"));
}

void Tform_main::ResetCheckinPanel()
{
    ResetCheckinDates();
    Label2->clear();
    C_loss->setChecked(false);
    for (int i = 0; i < CheckListBox1->count(); ++i)
        CheckListBox1->item(i)->setCheckState(Qt::Unchecked);
}

// --- keys, hand-over file, closing -----------------------------------------------------------

bool Tform_main::isCommandKey(const QKeyEvent* key) const
{
    const QKeySequence pressed(key->keyCombination());
    return std::any_of(m_commands.begin(), m_commands.end(),
                       [&](const Command& c) { return !c.key.isEmpty() && c.key == pressed; });
}

bool Tform_main::eventFilter(QObject* watched, QEvent* event)
{
    // The console's command keys come before the editing keys of the focused field (Ctrl+A
    // opens the room setup, not "select all"; Ctrl+Z the about box, not "undo"): a field
    // that is not allowed to claim the key leaves it to the window's shortcuts.
    if (event->type() == QEvent::ShortcutOverride && isActiveWindow() && isEnabled()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this && isCommandKey(static_cast<QKeyEvent*>(event)))
            return true;
    }
    if (event->type() == QEvent::KeyPress && isActiveWindow() && isEnabled()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this && QApplication::focusWidget() == widget) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (handleWindowKey(key))
                return true;
            if (watched == T_room_no && handleRoomFieldKey(key))
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Tform_main::handleWindowKey(QKeyEvent* key)
{
    // Seen before the focused control, like the form's key preview.
    // Delete and multiply work even while the buttons are disabled; CardWork keeps a second
    // card operation from starting while one runs.
    if (key->key() == Qt::Key_Delete) {
        B_cancelClick();
        return true;
    }
    if (key->key() == Qt::Key_Asterisk && (key->modifiers() & Qt::KeypadModifier)) {
        BitBtn2Click();
        return true;
    }
    if (key->key() == Qt::Key_Space && QApplication::focusWidget() != T_room_no) {
        PageControl1->setCurrentWidget(TabSheet1);
        SetBottomPaneOpen(true);
        T_room_no->setFocus();
        T_room_no->selectAll();
        return true;
    }
    return false;
}

bool Tform_main::handleRoomFieldKey(QKeyEvent* key)
{
    if (key->key() == Qt::Key_Space) {
        T_room_no->selectAll();
        return true;
    }
    if (key->key() == Qt::Key_Plus && (key->modifiers() & Qt::KeypadModifier)) {
        const QString prefix = T_room_no->text();
        for (const MapRoom& room : DrawGrid1->rooms()) {
            if (room.roomNo.startsWith(prefix)) {
                QueueRoom(room.roomNo);
                T_room_no->clear();
                break;
            }
        }
        return true;
    }
    if (key->key() == Qt::Key_Down) {
        T_day_num->setFocus();
        T_day_num->selectAll();
        return true;
    }
    return false;
}

void Tform_main::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    readHandOverFile();
}

void Tform_main::readHandOverFile()
{
    if (m_readingHandOver)
        return;
    const auto handOver = readLockHandOver(Clock::instance().now());
    if (!handOver)
        return;
    m_readingHandOver = true;
    T_room_no->setText(handOver->room_no);
    T_out_date->setDate(handOver->end_time.date());
    T_out_time->setTime(handOver->end_time.time());
    activateWindow();
    m_readingHandOver = false;
}

void Tform_main::closeEvent(QCloseEvent* event)
{
    Timer1.stop();
    Timer2.stop();
    Timer3.stop();
    QMainWindow::closeEvent(event);
    Q_EMIT closed();
}
