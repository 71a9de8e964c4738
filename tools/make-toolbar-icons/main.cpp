// tolvane-make-toolbar-icons OUTDIR [--preview FILE.png]
// Writes the console's tool-bar and menu icons OUTDIR/<name>.png (32 x 32) and OUTDIR/toolbar.qrc.
// The program's copies live in src/frontdesk/icons/: run it on that folder after changing a drawing.
#include "ToolbarIcons.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QPainter>
#include <QTextStream>

namespace {

int fail(const QString& message)
{
    QTextStream(stderr) << "tolvane-make-toolbar-icons: " << message << '\n';
    return 1;
}

// Every icon at its own size on light and dark ground and three times enlarged, for review.
QImage previewSheet()
{
    const QStringList names = ToolbarIcons::names();
    constexpr int kSize = ToolbarIcons::kSize;
    constexpr int kColumns = 4;
    const QSize cell(3 * kSize + kSize + 24, 3 * kSize + 24);
    const int rows = (static_cast<int>(names.size()) + kColumns - 1) / kColumns;
    QImage sheet(kColumns * cell.width(), rows * cell.height(), QImage::Format_ARGB32);
    sheet.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter p(&sheet);
    for (int i = 0; i < names.size(); ++i) {
        const QImage icon = ToolbarIcons::icon(names[i]);
        const QPoint origin((i % kColumns) * cell.width(), (i / kColumns) * cell.height());
        p.drawImage(origin + QPoint(4, 4), icon);
        p.fillRect(QRect(origin + QPoint(2, 2 * kSize), QSize(kSize + 4, kSize + 4)),
                   QColor(0x3A, 0x3F, 0x44));
        p.drawImage(origin + QPoint(4, 2 * kSize + 2), icon);
        p.drawImage(QRect(origin + QPoint(kSize + 12, 4), QSize(3 * kSize, 3 * kSize)), icon);
        p.drawText(origin + QPoint(4, cell.height() - 6), names[i]);
    }
    return sheet;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes the console's tool-bar icons and their resource list."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("OUTDIR"),
                                 QStringLiteral("Folder that receives the PNG files."));
    const QCommandLineOption previewOption(QStringLiteral("preview"),
                                           QStringLiteral("Also render a review sheet to this PNG file."),
                                           QStringLiteral("FILE"));
    parser.addOption(previewOption);
    parser.process(app);

    const QStringList folders = parser.positionalArguments();
    if (folders.size() != 1)
        return fail(QStringLiteral("give exactly one output folder"));
    const QStringList failed = ToolbarIcons::writeAll(folders.front());
    if (!failed.isEmpty())
        return fail(QStringLiteral("cannot write %1").arg(failed.join(QStringLiteral(", "))));
    if (parser.isSet(previewOption) && !previewSheet().save(parser.value(previewOption)))
        return fail(QStringLiteral("cannot write %1").arg(parser.value(previewOption)));
    return 0;
}
