#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QTableView;

// The welcome screen after a login: finds the encoder, prepares its keys, brings the room
// counts up to date and opens the main console.
class TForm_wellcome : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_wellcome(QWidget* parent = nullptr);

    QLabel* Panel1 = nullptr;
    QTableView* DBGrid2 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QTimer Timer1;

    void FormShow();
    void Timer1Timer();

Q_SIGNALS:
    // The sequence is through (with or without an encoder): show the console.
    void finished();
    // The program must end (an error, or "no" to running without an encoder).
    void abortProgram();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void caption(int stateEntry);
    void runSequence();
    bool searchEncoder();
};
