#include "app/Application.h"
#include "app/Screenshots.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[])
{
    // Pictures of the screens need no display.
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--screenshots") == 0 && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(Application::kTitle));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tolvane: hotel key cards, room map and lock records."));
    parser.addHelpOption();
    const QCommandLineOption screenshots(
        QStringLiteral("screenshots"),
        QStringLiteral("Render the main screens to PNG files in <dir> and exit."), QStringLiteral("dir"));
    parser.addOption(screenshots);
    parser.process(app);
    if (parser.isSet(screenshots))
        return Screenshots::render(parser.value(screenshots));

    app.setQuitOnLastWindowClosed(false);
    Application tolvane;
    tolvane.start();
    return QApplication::exec();
}
