#pragma once

#include <QString>

// Settings written for Windows name files as ".\bmp\0.bmp" or "d:\TOLBAK\". This is the
// one place where such a name becomes a local path, by this rule:
//
//  1. Backslashes become slashes.
//  2. A drive ("d:") becomes a folder: the value of the environment variable
//     TOLVANE_DRIVE_D when it is set, otherwise "drives/d" inside the installation folder.
//  3. A relative name is taken inside the installation folder (the working directory,
//     where sys.ini lives); "." and ".." are resolved.
//  4. Windows names ignore case: each part that does not exist with the exact spelling is
//     matched against the folder's entries without regard to case, so "LODGEX.MDB" finds
//     "lodgex.mdb". Parts that exist in no spelling are kept as written.
//
// A name that is already a local absolute path ("/var/lib/...") is only resolved by step 4.
namespace WinPath {

QString toLocal(const QString& windowsPath);
// The installation folder ("the program's folder" of the settings): the working directory,
// or TOLVANE_HOME when set.
QString installationFolder();
// Windows-style name for display or storage (slashes become backslashes).
QString toWindows(const QString& localPath);

} // namespace WinPath
