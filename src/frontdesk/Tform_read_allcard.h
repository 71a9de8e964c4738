#pragma once

#include "frontdesk/CardReading.h"

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class StatusPanels;
class Tform_main;

// Reads any card of this system lying on the encoder, whatever its kind, once a second and shows
// what it carries; with the cancel caption it also resets the card and cancels its record.
class Tform_read_allcard : public QWidget
{
    Q_OBJECT
public:
    explicit Tform_read_allcard(Tform_main& console);

    QLabel* L_card_type = nullptr;
    QLabel* L_card_no = nullptr;
    QLabel* L_building = nullptr;
    QLabel* L_floor = nullptr;
    QLabel* L_room = nullptr;
    QLabel* L_area = nullptr;
    QLabel* L_date = nullptr;
    QLabel* L_Pub_name = nullptr;
    QLabel* L_Pub_time = nullptr;
    QLabel* L_holder_name = nullptr;
    QLabel* L_remark = nullptr;
    QLabel* L_id = nullptr;
    QLineEdit* T_card_type = nullptr;
    QLineEdit* T_card_no = nullptr;
    QLineEdit* T_building = nullptr;
    QLineEdit* T_floor = nullptr;
    QLineEdit* T_room = nullptr;
    QLineEdit* T_area = nullptr;
    QLineEdit* T_intime = nullptr;
    QLineEdit* T_outtime = nullptr;
    QLineEdit* T_Pub_name = nullptr;
    QLineEdit* T_Pub_time = nullptr;
    QLineEdit* T_holder_name = nullptr;
    QLineEdit* T_remark = nullptr;
    QLineEdit* T_ID = nullptr;
    QCheckBox* C_loss = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* B_cancel = nullptr;
    QPushButton* B_exit = nullptr;
    StatusPanels* StatusBar1 = nullptr;
    QTimer Timer1;

    bool cancelMode() const;

    void FormShow();
    void Timer1Timer();
    void B_cancelClick();
    void FormClose();
    void ClearScreen();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void setCaptions();
    void showCard(const CardReading::CardView& card);

    Tform_main& m_console;
    bool m_cardShown = false;
};
