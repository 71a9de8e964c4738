#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class StatusPanels;
class Tform_main;

// Cancels a guest card the guest did not return: the operator lists the room's valid guest cards,
// picks the card's issue record and cancels it; the room's count follows. Works from the
// database only; the lock learns of it through newer cards.
class TForm_nocard_cancel : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_nocard_cancel(Tform_main& console);

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QPushButton* B_cancel = nullptr;
    StatusPanels* StatusBar1 = nullptr;

    void FormShow();
    void Edit1Exit();
    void BitBtn1Click();
    void B_cancelClick();
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void listRoomCards();
    void setColumns();

    Tform_main& m_console;
};
