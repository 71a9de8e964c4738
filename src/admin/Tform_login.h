#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class StatusPanels;
class TDosMove;

// The login screen, the application's first window: it loads the configuration, opens the
// database and lets an operator in.
class Tform_login : public QWidget
{
    Q_OBJECT
public:
    explicit Tform_login(QWidget* parent = nullptr);

    QLabel* L_name = nullptr;
    QLabel* L_pwd = nullptr;
    QLineEdit* T_name = nullptr;
    QLineEdit* T_pwd = nullptr;
    QPushButton* B_ok = nullptr;
    QPushButton* B_close = nullptr;
    StatusPanels* StatusBar1 = nullptr;

    void FormCreate();
    void FormShow();
    void B_okClick();

    // Opening the database failed at the last showing.
    bool databaseFailed() const { return m_databaseFailed; }

Q_SIGNALS:
    // A good login: the program goes on to the welcome screen.
    void loggedIn();

protected:
    void showEvent(QShowEvent* event) override;
    // The login window is the main window: closing it ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    void applyFontAndSkin();
    TDosMove* m_dosMove = nullptr;
    bool m_databaseFailed = false;
};
