#pragma once

#include "frontdesk/GuestCardIssue.h"
#include "frontdesk/RoomMapGrid.h"

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>
#include <map>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTabWidget;
class QTableView;
class QTimeEdit;
class QToolBar;
class StatusPanels;
class TForm_isslock;

// The main console: the room map, the check-in panel and room list, the menus and tool bars
// from which every other screen is opened, and the five-second refresh.
class Tform_main : public QMainWindow
{
    Q_OBJECT
public:
    explicit Tform_main(QWidget* parent = nullptr);
    ~Tform_main() override;

    // --- components ---
    QToolBar* TBar_client = nullptr;
    QToolBar* TBar_server = nullptr;
    QToolBar* TBar_super = nullptr;
    QScrollArea* MapArea = nullptr;
    RoomMapGrid* DrawGrid1 = nullptr;
    QSplitter* cxSplitter1 = nullptr; // map | bottom pane
    QSplitter* cxSplitter2 = nullptr; // queue | check-in panel
    QSplitter* cxSplitter3 = nullptr; // check-in panel | card list
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QWidget* Panel2 = nullptr;
    QLineEdit* T_room_no = nullptr;
    QListWidget* CheckListBox1 = nullptr;
    QLineEdit* T_day_num = nullptr;
    QCheckBox* C_loss = nullptr;
    QDateEdit* T_in_date = nullptr;
    QTimeEdit* T_in_time = nullptr;
    QDateEdit* T_out_date = nullptr;
    QTimeEdit* T_out_time = nullptr;
    QComboBox* SetBuild = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* L_room_no = nullptr;
    QLabel* L_out_time = nullptr;
    QLabel* L_day_num = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* B_cancel = nullptr;
    QPushButton* B_ok = nullptr;
    QTableView* DBGrid1 = nullptr;
    QTableView* DBGrid2 = nullptr;
    StatusPanels* StatusBar1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QTimer Timer1;
    QTimer Timer2;
    QTimer Timer3;

    // Menu items and tool buttons by component name (M_issue_card, TB_issue_card, N10, PM_free...).
    QAction* action(const QString& name) const;

    // --- operations other screens call ---
    void RefreshConsole();
    void BuildRoomMap();
    void ShowRoomCounts();
    void ResetCheckinDates();
    void ResetCheckinPanel();
    void SetCaptions();
    // Selects a map cell as a click does.
    void SelectCell(int row, int column);
    // Adds a room number to the batch queue and shows the queue.
    void QueueRoom(const QString& roomNo);
    void SetQueuePaneOpen(bool open);
    void SetBottomPaneOpen(bool open);
    // The periodic refresh (every 5 s): counts, map, card list; when the database fails, the
    // fallback to the server connection.
    void Timer3Timer();

    // Runs a command by its menu-item name, as its menu entry, tool button or key would.
    void RunCommand(const QString& name);

    // Screens of later builds: a hook to open them (set by whoever provides the screen).
    using ScreenOpener = std::function<void(Tform_main&)>;
    void setScreen(const QString& command, ScreenOpener opener);

    // True while a card operation runs; a second one must not start.
    static bool cardWorkBusy();

    // The check-in panel's buttons (also the Delete and numpad-multiply keys).
    void B_okClick();
    void BitBtn2Click();
    void B_cancelClick();
    // Issues one card for the room in T_room_no (the panel and the batch queue).
    void IssueGuestCard();
    // One step of the batch queue.
    void Timer2Timer();
    void setCheckinButtonsEnabled(bool enabled);
    // The probe of the last card examined by the panel.
    const GuestCardIssue::Probe& probeState() const { return m_probe; }
    TForm_isslock* waitingWindow() const { return m_waiting; }

Q_SIGNALS:
    void refreshed();
    // The operator closed the console: the program shows its closing screen.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Command;
    void buildLayout();
    void buildCheckinPanel(QWidget* panel);
    void buildCommands();
    void buildPopupMenu();
    void loadPictures();
    void fillBuildings();
    void fitCardListColumns();
    void runGated(const Command& command);
    void onCellClicked(int row, int column);
    void onCellCtrlClicked(int row, int column);
    void onCellDoubleClicked(int row, int column);
    void onMapContextMenu(int row, int column, const QPoint& globalPos);
    void setSelectedRoomStatus(const QString& status);
    void refreshData();
    void readHandOverFile();
    bool isCommandKey(const QKeyEvent* key) const;
    bool handleWindowKey(QKeyEvent* key);
    bool handleRoomFieldKey(QKeyEvent* key);
    void openDocument(const QString& name);
    void notYetBuilt(const QString& command);

    void connectStayFields();
    QDateTime checkoutFromFields() const;
    void showWaitingWindow();
    void closeWaitingWindow();
    std::array<bool, 8> doorOptions() const;
    void setDoorOptionsFromByte(quint8 door);
    void showReadCardInPanel();
    void showUnexpectedError(const std::exception& e);

    GuestCardIssue::Probe m_probe;
    std::optional<qint64> m_lastBatchSerial;
    QString m_readImage;
    TForm_isslock* m_waiting = nullptr;
    std::map<QString, QAction*> m_actions;
    std::map<QString, ScreenOpener> m_screens;
    std::vector<Command> m_commands;
    bool m_readingHandOver = false;
};
