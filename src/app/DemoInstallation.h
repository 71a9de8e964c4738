#pragma once

#include <QString>

// A ready installation folder for demonstrations, screenshots and GUI tests: the installation
// data (settings, texts in one language, card types, pictures, skin) and a database with a
// sample hotel and a first operator.
namespace DemoInstallation {

// The folder with the installation data: $TOLVANE_INSTALL_DATA, or install/ of the source tree.
QString installDataDir();

// Copies sys.ini, SetCard.ini, skin.skn, bmp/ and ico/ into folder, and ic.ini.<language> as
// ic.ini ("en" or "zh"). Existing files are kept unless overwrite is set. Throws
// std::runtime_error when the data cannot be copied.
void copyInstallData(const QString& folder, const QString& language, bool overwrite = false);

// Creates the SQLite database file with the sample hotel (two buildings) and the operator
// (group of every right). With showStates, a few rooms are occupied (with active guest
// cards), dirty, reserved, in own use, under repair and closed. Throws DatabaseError.
void createDatabase(const QString& file, const QString& operatorName, const QString& password,
                    bool showStates);

// Writes a site code into sys.ini when it has none (first byte 0x4D... chosen at random,
// never 0). Returns the first byte, which the encoder's identification must carry.
int ensureSiteCode(const QString& folder);

} // namespace DemoInstallation
