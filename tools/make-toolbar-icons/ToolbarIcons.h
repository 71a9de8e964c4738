#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// The console's tool-bar and menu icons: 32 x 32 with alpha, one idea each, drawn in one line
// style (dark rounded outline, flat fill, a round badge at the lower right for the action:
// plus issues, eye reads, cross cancels). The console looks each up as :/toolbar/<name>.png,
// where name is the tool button (TB_...) or, for commands without one, the menu item.
namespace ToolbarIcons {

constexpr int kSize = 32;

// Every icon name, in the order the console shows the commands.
QStringList names();
// The icon of a name; a null image for a name that has none.
QImage icon(const QString& name);

// Writes <folder>/<name>.png for every icon and <folder>/toolbar.qrc listing them under the
// prefix /toolbar. Returns the files that could not be written.
QStringList writeAll(const QString& folder);

} // namespace ToolbarIcons
