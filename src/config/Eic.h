#pragma once

#include <exception>

// The application's error: an index into the "except" text table. It carries no text of its
// own; whoever shows it looks the text up (cfg::texts().except(code)).
class Eic : public std::exception
{
public:
    explicit Eic(int code) noexcept : m_code(code) {}
    int code() const noexcept { return m_code; }
    const char* what() const noexcept override { return "Eic"; }

private:
    int m_code;
};
