#pragma once

#include <QString>

// `tolvane --screenshots DIR`: renders the login, welcome and main console of a sample hotel
// (English and Chinese texts) to DIR/login.png, DIR/welcome.png, DIR/console.png and the same
// names with "-zh" before ".png". Returns the process exit code.
namespace Screenshots {
int render(const QString& directory);
}
