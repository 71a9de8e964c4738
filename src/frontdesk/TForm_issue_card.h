#pragma once

#include "frontdesk/GuestCardIssue.h"

#include <QWidget>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;
class QTimeEdit;
class StatusPanels;
class Tform_main;

// The guest-card issue screen: a check-in with the holder's name, identity number and a
// remark, which it can take from the comma-separated guest list.
class TForm_issue_card : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_issue_card(Tform_main& console);

    QLabel* L_room_no = nullptr;
    QLabel* L_in_time = nullptr;
    QLabel* L_out_time = nullptr;
    QLabel* L_day_num = nullptr;
    QLabel* L_memo = nullptr;
    QLabel* L_id = nullptr;
    QLabel* L_name = nullptr;
    QLineEdit* T_room_no = nullptr;
    QDateEdit* T_in_date = nullptr;
    QTimeEdit* T_in_time = nullptr;
    QDateEdit* T_out_date = nullptr;
    QTimeEdit* T_out_time = nullptr;
    QLineEdit* T_day_num = nullptr;
    QCheckBox* C_loss = nullptr;
    QListWidget* CheckListBox1 = nullptr;
    QLineEdit* T_name = nullptr;
    QLineEdit* T_id = nullptr;
    QLineEdit* T_memo = nullptr;
    QPushButton* B_ok = nullptr;
    QPushButton* B_close = nullptr;
    StatusPanels* StatusBar1 = nullptr;
    // The guest-list panel.
    QWidget* GuestPanel = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QTableView* DBGrid1 = nullptr;

    void FormShow();
    void B_okClick();
    void BitBtn1Click();
    void Button1Click();
    void Button2Click();
    void DBGrid1DblClick();
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void setCaptions();
    void resetScreen();
    void resetStay();
    void issue();
    void moveRoomAndSearch(bool forward);

    Tform_main& m_console;
    GuestCardIssue::Probe m_probe;
};
