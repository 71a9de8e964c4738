// tolvane-make-pictures OUTDIR [--size N] [--preview FILE.png]
// Writes the room-map pictures OUTDIR/bmp/0.bmp .. 8.bmp (N x N, the bgkd of sys.ini) and the
// icons OUTDIR/ico/0.ico .. 6.ico (32 x 32). The installation's copies in install/ are made with
// the default size; run it again with the new size after changing bgkd.
#include "RoomPictures.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>

namespace {

int fail(const QString& message)
{
    QTextStream(stderr) << "tolvane-make-pictures: " << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes the room-map pictures and icons."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("OUTDIR"),
                                 QStringLiteral("Folder that receives bmp/ and ico/."));
    const QCommandLineOption sizeOption(
        QStringLiteral("size"), QStringLiteral("Width and height of the pictures in pixels (default 48)."),
        QStringLiteral("N"), QString::number(RoomPictures::kDefaultSize));
    const QCommandLineOption previewOption(QStringLiteral("preview"),
                                           QStringLiteral("Also render a preview sheet to this PNG file."),
                                           QStringLiteral("FILE"));
    parser.addOption(sizeOption);
    parser.addOption(previewOption);
    parser.process(app);

    const QStringList folders = parser.positionalArguments();
    if (folders.size() != 1)
        return fail(QStringLiteral("give exactly one output folder"));
    bool ok = false;
    const int size = parser.value(sizeOption).toInt(&ok);
    if (!ok || size < RoomPictures::kMinSize || size > RoomPictures::kMaxSize)
        return fail(QStringLiteral("--size must be a number from %1 to %2")
                        .arg(RoomPictures::kMinSize)
                        .arg(RoomPictures::kMaxSize));

    const QStringList failed = RoomPictures::writeAll(folders.front(), size);
    if (!failed.isEmpty())
        return fail(QStringLiteral("cannot write %1").arg(failed.join(QStringLiteral(", "))));
    if (parser.isSet(previewOption) && !RoomPictures::previewSheet(size).save(parser.value(previewOption)))
        return fail(QStringLiteral("cannot write %1").arg(parser.value(previewOption)));
    return 0;
}
