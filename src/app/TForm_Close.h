#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

// Shown when the console closes: on a server database it runs the server's recount of the
// rooms' cards; then the program ends, whether or not that worked.
class TForm_Close : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_Close(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QTimer Timer1;

    void FormShow();
    void Timer1Timer();

    // Whether the last closing ran the server procedure successfully (tests).
    bool procedureRan() const { return m_procedureRan; }

Q_SIGNALS:
    void done();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString m_connectionString;
    bool m_procedureRan = false;
};
