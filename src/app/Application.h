#pragma once

#include <QObject>
#include <memory>

class Tform_login;
class Tform_main;
class TForm_shift;
class TForm_chang_pwd;
class Tform_lock_app;
class Tform_about;
class TForm_wellcome;
class TForm_Close;

// The program's windows, created once at start in their fixed order and reachable through
// Application::instance(). The login window is created first and is the main window:
// closing it ends the program.
class Application : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Tolvane System Ver 3.5.1 EN";

    Application();
    ~Application() override;
    static Application& instance();

    std::unique_ptr<Tform_login> form_login;
    std::unique_ptr<Tform_main> form_main;
    std::unique_ptr<TForm_shift> Form_shift;
    std::unique_ptr<TForm_chang_pwd> Form_chang_pwd;
    std::unique_ptr<Tform_lock_app> form_lock_app;
    std::unique_ptr<Tform_about> form_about;
    std::unique_ptr<TForm_wellcome> Form_wellcome;
    std::unique_ptr<TForm_Close> Form_Close;

    // Shows the login window.
    void start();
    // Ends the program (closing the login window).
    void quit();

private:
    void wire();
    void openModalOverConsole(QWidget* screen);
    void afterLogin();
    void showConsole();
};
