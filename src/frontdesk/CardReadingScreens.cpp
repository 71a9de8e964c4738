#include "frontdesk/CardReadingScreens.h"

#include "config/Settings.h"
#include "encoder/TForm_Com.h"
#include "frontdesk/TForm_nocard_cancel.h"
#include "frontdesk/TForm_readcard.h"
#include "frontdesk/Tform_main.h"
#include "frontdesk/Tform_read_allcard.h"
#include "frontdesk/Tform_update_timecard.h"
#include "platform/ByteStream.h"

namespace ReadingScreens {

void holdConsole(Tform_main& console, QWidget* screen, bool disable)
{
    console.Timer1.stop();
    console.Timer3.stop();
    if (disable) {
        console.setEnabled(false);
        // A window of the console is disabled with it; the screen itself stays usable.
        screen->setEnabled(true);
    }
}

void releaseConsole(Tform_main& console)
{
    console.setEnabled(true);
    console.Timer1.start();
    console.Timer3.start();
}

void redrawConsole(Tform_main& console)
{
    try {
        console.BuildRoomMap();
        console.DrawGrid1->update();
    } catch (const std::exception&) {
        // the map keeps its last picture until the console's refresh succeeds
    }
    console.RefreshConsole();
}

bool openEncoderPort()
{
    TForm_Com& com = TForm_Com::instance();
    try {
        if (!com.isOpen())
            com.open();
        return true;
    } catch (const PortError&) {
        return false;
    }
}

void closeEncoderPort()
{
    TForm_Com& com = TForm_Com::instance();
    if (com.isOpen())
        com.close();
}

} // namespace ReadingScreens

namespace {

void show(QWidget* screen)
{
    screen->show();
    screen->raise();
    screen->activateWindow();
}

} // namespace

void installCardReadingScreens(Tform_main& main)
{
    auto* readcard = new TForm_readcard(main); // owned by the console
    auto* nocard = new TForm_nocard_cancel(main);
    auto* allcard = new Tform_read_allcard(main);
    auto* timecard = new Tform_update_timecard(main);

    // The reading screen takes its mode from the caption it is shown with (looked up at each
    // opening: system setup reloads the texts).
    auto readingScreen = [readcard](TextTables::Table table, int entry) {
        return [readcard, table, entry](Tform_main&) {
            readcard->setWindowTitle(cfg::texts().get(table, entry));
            show(readcard);
        };
    };
    main.setScreen(QStringLiteral("M_read_card"), readingScreen(TextTables::Form, 3));
    main.setScreen(QStringLiteral("M_chang_room"), readingScreen(TextTables::Label, 27));
    main.setScreen(QStringLiteral("M_chang_checkout"), readingScreen(TextTables::Label, 28));
    main.setScreen(QStringLiteral("M_cancel_card"), readingScreen(TextTables::Form, 5));
    main.setScreen(QStringLiteral("M_cancel_nocard"), [nocard](Tform_main&) { show(nocard); });
    main.setScreen(QStringLiteral("M_read_cards"), [allcard](Tform_main&) {
        allcard->setWindowTitle(cfg::texts().form(25));
        show(allcard);
    });
    main.setScreen(QStringLiteral("M_cancel_cards"), [allcard](Tform_main&) {
        allcard->setWindowTitle(cfg::texts().form(26));
        show(allcard);
    });
    main.setScreen(QStringLiteral("M_update_timecard"), [timecard](Tform_main&) { show(timecard); });
}
