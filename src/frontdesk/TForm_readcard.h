#pragma once

#include "frontdesk/CardReading.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class StatusPanels;
class Tform_main;

// The guest-card reading screen: follows the guest card on the encoder once a second and shows
// it with its issue record; by its caption it also moves the card to another room, gives it a
// new check-out, or cancels it.
class TForm_readcard : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_readcard(Tform_main& console);

    QLabel* L_room_no = nullptr;
    QLabel* L_in_time = nullptr;
    QLabel* L_out_time = nullptr;
    QLabel* L_day_num = nullptr;
    QLabel* L_name = nullptr;
    QLabel* L_id = nullptr;
    QLabel* L_memo = nullptr;
    QLabel* L_operator = nullptr;
    QLabel* L_pub_time = nullptr;
    QLineEdit* T_room_no = nullptr;
    QDateEdit* T_in_date = nullptr;
    QTimeEdit* T_in_time = nullptr;
    QDateEdit* T_out_date = nullptr;
    QTimeEdit* T_out_time = nullptr;
    QLineEdit* T_day_num = nullptr;
    QCheckBox* C_loss = nullptr;
    QLineEdit* T_name = nullptr;
    QLineEdit* T_memo = nullptr;
    QLineEdit* T_ID = nullptr;
    QGroupBox* G_operator_info = nullptr;
    QLineEdit* T_operator_name = nullptr;
    QLineEdit* T_pub_time = nullptr;
    QPushButton* B_cancel = nullptr;
    QPushButton* B_chang_room = nullptr;
    QPushButton* B_chang_out = nullptr;
    StatusPanels* StatusBar1 = nullptr;
    QTimer Timer1;

    CardReading::Mode mode() const;

    void FormShow();
    void Timer1Timer();
    void B_cancelClick();
    void B_chang_roomClick();
    void B_chang_outClick();
    void FormClose();
    void ClearScreen();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void setCaptions();
    void showDatesNow();
    void showCard(const CardReading::GuestCard& card);
    void offerAction();
    void showReadFailure(int exceptEntry);
    void afterCardChanged();
    void runCardChange(const std::function<void()>& change);

    Tform_main& m_console;
    bool m_cardShown = false;
};
