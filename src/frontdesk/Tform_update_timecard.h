#pragma once

#include <QTimer>
#include <QWidget>

class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class StatusPanels;
class Tform_main;

// Writes the clock card, which carries the date, the time and the day of the week to the locks.
// Follows the card on the encoder once a second; the update is offered while a clock card lies
// there.
class Tform_update_timecard : public QWidget
{
    Q_OBJECT
public:
    explicit Tform_update_timecard(Tform_main& console);

    QLabel* L_card_no = nullptr;
    QLabel* L_now = nullptr;
    QLabel* L_old_time = nullptr;
    QLabel* L_new_time = nullptr;
    QLineEdit* T_card_no = nullptr;
    QLineEdit* T_now = nullptr;
    QLineEdit* T_old_time = nullptr;
    QDateEdit* T_new_date = nullptr;
    QTimeEdit* T_new_time = nullptr;
    QPushButton* B_update = nullptr;
    QPushButton* B_exit = nullptr;
    StatusPanels* StatusBar1 = nullptr;
    QTimer Timer1;

    void FormShow();
    void Timer1Timer();
    void B_updateClick();
    void B_exitClick();
    void FormClose();
    void ClearScreen();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();

    Tform_main& m_console;
};
