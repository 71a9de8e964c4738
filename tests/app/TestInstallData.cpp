#include "RoomPictures.h"
#include "TestDir.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "platform/IniFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The installation data is read from the source tree, as the installer copies it.
QString sourcePath(const QString& relative)
{
    return QDir(qEnvironmentVariable("TOLVANE_SOURCE_DIR")).filePath(relative);
}

QByteArray readSource(const QString& relative)
{
    QFile file(sourcePath(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

struct TextEntry
{
    TextTables::Table table;
    int index;
};

QString describe(const TextEntry& e)
{
    return TextTables::sectionName(e.table) + u' ' + QString::number(e.index);
}

std::optional<TextTables::Table> tableNamed(const QString& name)
{
    for (int t = 0; t < TextTables::TableCount; ++t) {
        const auto table = static_cast<TextTables::Table>(t);
        if (TextTables::sectionName(table) == name)
            return table;
    }
    return std::nullopt;
}

// install/text-entries.txt: "table index meaning", one entry the program uses per line.
QList<TextEntry> usedEntries(QStringList* badLines = nullptr)
{
    QList<TextEntry> entries;
    const QStringList lines =
        QString::fromUtf8(readSource(QStringLiteral("install/text-entries.txt"))).split(u'\n');
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList words = line.split(u' ');
        bool isNumber = false;
        const int index = words.value(1).toInt(&isNumber);
        const auto table = tableNamed(words.value(0));
        if (!table || !isNumber || index < 0 || index >= TextTables::size(*table) || words.size() < 3) {
            if (badLines)
                badLines->append(line);
            continue;
        }
        entries.append({*table, index});
    }
    return entries;
}

QString text(TextTables::Table table, int index)
{
    return cfg::texts().get(table, index);
}

void loadTexts(const TestInstallation& inst, const QString& language)
{
    inst.write(QStringLiteral("ic.ini"), readSource(QStringLiteral("install/ic.ini.") + language));
    TSystem::LoadTexts();
}

void loadCardTypes(const TestInstallation& inst)
{
    inst.write(QStringLiteral("SetCard.ini"), readSource(QStringLiteral("install/SetCard.ini")));
    TSystem::LoadCardTypes();
}

bool hasChinese(const QString& s)
{
    for (const QChar c : s) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

// Share of pixels whose colour or alpha differs by more than a rounding step of the painter:
// the committed files may come from another Qt build, so exact equality is not required.
double differingShare(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            if (d > 32)
                ++differing;
        }
    }
    return static_cast<double>(differing) / (x.width() * x.height());
}

double colourDistance(QColor a, QColor b)
{
    return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue());
}

void addLanguageRows()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << QStringLiteral("en");
    QTest::newRow("Chinese") << QStringLiteral("zh");
}

} // namespace

class TestInstallData : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();

    void everyUsedEntryIsDefined_data() { addLanguageRows(); }
    void everyUsedEntryIsDefined();
    void noUnlistedOrRepeatedEntries_data() { addLanguageRows(); }
    void noUnlistedOrRepeatedEntries();
    void prefixesKeepTheirEnd_data();
    void prefixesKeepTheirEnd();
    void textsThatSelectAModeDiffer_data() { addLanguageRows(); }
    void textsThatSelectAModeDiffer();
    void allEntryIsNoListValue_data() { addLanguageRows(); }
    void allEntryIsNoListValue();
    void cardKindCaptionHasOnePlaceholder_data() { addLanguageRows(); }
    void cardKindCaptionHasOnePlaceholder();
    void statusCodesStayTheKeyNames_data() { addLanguageRows(); }
    void statusCodesStayTheKeyNames();
    void chineseTableIsTranslated();
    void mainWindowCaptions();
    void filesAreUtf8WithWindowsLineEnds_data();
    void filesAreUtf8WithWindowsLineEnds();

    void cardKindsAreNamed();
    void settingsLoadCleanly();

    void pictures_data();
    void pictures();
    void icons_data();
    void icons();
    void roomStatesLookDifferent();

    void skinStyleSheetParses();
};

void TestInstallData::initTestCase()
{
    QVERIFY2(!qEnvironmentVariable("TOLVANE_SOURCE_DIR").isEmpty(),
             "TOLVANE_SOURCE_DIR is not set (run through ctest)");
    QStringList badLines;
    const QList<TextEntry> entries = usedEntries(&badLines);
    QVERIFY2(badLines.isEmpty(),
             qPrintable(u"text-entries.txt: unreadable lines:\n"_s + badLines.join(u'\n')));
    QVERIFY(!entries.isEmpty());
}

void TestInstallData::everyUsedEntryIsDefined()
{
    QFETCH(QString, language);
    TestInstallation inst;
    loadTexts(inst, language);
    QStringList missing;
    for (const TextEntry& e : usedEntries()) {
        const QString t = text(e.table, e.index);
        if (t == TextTables::defaultText(e.table, e.index) || t.trimmed().isEmpty())
            missing.append(describe(e));
    }
    QVERIFY2(missing.isEmpty(), qPrintable(u"not defined: "_s + missing.join(u", "_s)));
}

void TestInstallData::noUnlistedOrRepeatedEntries()
{
    QFETCH(QString, language);
    const IniFile ini(sourcePath(QStringLiteral("install/ic.ini.") + language));
    QSet<QString> listed;
    for (const TextEntry& e : usedEntries())
        listed.insert(describe(e));
    QStringList problems;
    for (int t = 0; t < TextTables::TableCount; ++t) {
        const auto table = static_cast<TextTables::Table>(t);
        QSet<QString> seen;
        for (const QString& key : ini.keys(TextTables::sectionName(table))) {
            const QString name = TextTables::sectionName(table) + u' ' + key;
            if (!listed.contains(name))
                problems.append(name + u" is not in text-entries.txt"_s);
            if (seen.contains(key))
                problems.append(name + u" is defined twice"_s);
            seen.insert(key);
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void TestInstallData::prefixesKeepTheirEnd_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("index");
    // Entries the program writes a number or a name directly after.
    const struct
    {
        TextTables::Table table;
        int index;
    } prefixes[] = {{TextTables::State, 2},
                    {TextTables::State, 36},
                    {TextTables::State, 37},
                    {TextTables::State, 38},
                    {TextTables::Log, 19}};
    for (const QString& language : {u"en"_s, u"zh"_s}) {
        for (const auto& p : prefixes) {
            const QString name = language + u' ' + describe({p.table, p.index});
            QTest::newRow(qPrintable(name)) << language << static_cast<int>(p.table) << p.index;
        }
    }
}

void TestInstallData::prefixesKeepTheirEnd()
{
    QFETCH(QString, language);
    QFETCH(int, table);
    QFETCH(int, index);
    TestInstallation inst;
    loadTexts(inst, language);
    const QString prefix = text(static_cast<TextTables::Table>(table), index);
    QVERIFY2(prefix.endsWith(u' ') || prefix.endsWith(u'：'),
             qPrintable(u"\""_s + prefix + u"\" would run into the value after it"_s));
}

void TestInstallData::textsThatSelectAModeDiffer()
{
    QFETCH(QString, language);
    TestInstallation inst;
    loadTexts(inst, language);
    // The card-reading screen picks its mode by comparing its caption with these four texts.
    const QStringList readingModes{text(TextTables::Form, 3), text(TextTables::Form, 5),
                                   text(TextTables::Label, 27), text(TextTables::Label, 28)};
    QCOMPARE(QSet<QString>(readingModes.begin(), readingModes.end()).size(), readingModes.size());
    // The staff-card screen cancels when its caption is form 26, and reads otherwise.
    QVERIFY(text(TextTables::Form, 25) != text(TextTables::Form, 26));
}

void TestInstallData::allEntryIsNoListValue()
{
    QFETCH(QString, language);
    TestInstallation inst;
    loadTexts(inst, language);
    loadCardTypes(inst);
    // Label 196 ends the building, card-kind, room and status lists as "no filter"; it must not
    // be mistaken for one of their values.
    const QString all = text(TextTables::Label, 196);
    bool isNumber = false;
    all.toInt(&isNumber);
    QVERIFY(!isNumber);
    for (const Rcards& kind : cfg::cardTypes())
        QVERIFY(kind.card_name != all);
    const StatusCodes& c = cfg::codes();
    for (const QString& code : {c.GC_AVAILABLE, c.GC_ISCANCEL, c.GC_NOCARDCANCEL})
        QVERIFY(code != all);
}

void TestInstallData::cardKindCaptionHasOnePlaceholder()
{
    QFETCH(QString, language);
    TestInstallation inst;
    loadTexts(inst, language);
    const QString pattern = text(TextTables::Form, 44);
    QCOMPARE(pattern.count(u"%s"_s), 1);
    QCOMPARE(pattern.count(u'%'), 1);
}

void TestInstallData::statusCodesStayTheKeyNames()
{
    QFETCH(QString, language);
    TestInstallation inst;
    loadTexts(inst, language);
    const StatusCodes keys;
    const StatusCodes& loaded = cfg::codes();
    QCOMPARE(loaded.room_empty, keys.room_empty);
    QCOMPARE(loaded.room_used, keys.room_used);
    QCOMPARE(loaded.room_dirty, keys.room_dirty);
    QCOMPARE(loaded.room_reserve, keys.room_reserve);
    QCOMPARE(loaded.room_self, keys.room_self);
    QCOMPARE(loaded.room_repair, keys.room_repair);
    QCOMPARE(loaded.room_closed, keys.room_closed);
    QCOMPARE(loaded.GC_AVAILABLE, keys.GC_AVAILABLE);
    QCOMPARE(loaded.GC_ISCANCEL, keys.GC_ISCANCEL);
    QCOMPARE(loaded.GC_NOCARDCANCEL, keys.GC_NOCARDCANCEL);
    QCOMPARE(loaded.GC_AUTOCANCEL, keys.GC_AUTOCANCEL);
    QCOMPARE(loaded.GC_LOSSCANCEL, keys.GC_LOSSCANCEL);
}

void TestInstallData::chineseTableIsTranslated()
{
    TestInstallation inst;
    loadTexts(inst, u"zh"_s);
    QStringList untranslated;
    for (const TextEntry& e : usedEntries()) {
        if (!hasChinese(text(e.table, e.index)))
            untranslated.append(describe(e));
    }
    QVERIFY2(untranslated.isEmpty(), qPrintable(u"no Chinese text: "_s + untranslated.join(u", "_s)));
}

void TestInstallData::mainWindowCaptions()
{
    TestInstallation inst;
    loadTexts(inst, u"en"_s);
    QCOMPARE(cfg::texts().version(1), u"Tolvane System Ver 3.5.1 EN"_s);
    loadTexts(inst, u"zh"_s);
    QVERIFY(cfg::texts().version(1).contains(u"3.5.1"_s));
    QVERIFY(hasChinese(cfg::texts().version(1)));
}

void TestInstallData::filesAreUtf8WithWindowsLineEnds_data()
{
    QTest::addColumn<QString>("file");
    for (const char* name : {"ic.ini.en", "ic.ini.zh", "SetCard.ini", "sys.ini"})
        QTest::newRow(name) << QStringLiteral("install/") + QLatin1String(name);
}

void TestInstallData::filesAreUtf8WithWindowsLineEnds()
{
    QFETCH(QString, file);
    const QByteArray bytes = readSource(file);
    QVERIFY(!bytes.isEmpty());
    // Invalid UTF-8 would make the reader fall back to GBK and garble every text.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(bytes);
    QVERIFY(!utf8.hasError());
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QVERIFY(!decoded.contains(u'\t'));
}

void TestInstallData::cardKindsAreNamed()
{
    TestInstallation inst;
    loadCardTypes(inst);
    const Rcards unnamed;
    QSet<QString> names;
    for (const Rcards& kind : cfg::cardTypes()) {
        QVERIFY(!kind.card_name.trimmed().isEmpty());
        QVERIFY(kind.card_name != unnamed.card_name);
        QCOMPARE(kind.card_type, 0);
        names.insert(kind.card_name);
    }
    QCOMPARE(names.size(), cfg::kCardTypeCount);
    // Guest cards may open a deadbolted door: the "unlock deadbolt" box of system setup ticked.
    QCOMPARE(cfg::guestCardStatus(), quint8{32});

    const IniFile rule(sourcePath(u"install/SetCard.ini"_s));
    const int levels = rule.readInteger(u"room"_s, u"dis_building"_s, 0) +
                       rule.readInteger(u"room"_s, u"dis_floor"_s, 0) +
                       rule.readInteger(u"room"_s, u"dis_room"_s, 0);
    QVERIFY2(levels > 0, "the room-number rule must use a level, or generated room numbers are empty");
}

void TestInstallData::settingsLoadCleanly()
{
    TestInstallation inst;
    for (const QString& name : {u"sys.ini"_s, u"SetCard.ini"_s})
        inst.write(name, readSource(u"install/"_s + name));
    inst.write(u"ic.ini"_s, readSource(u"install/ic.ini.en"_s));
    TSystem::LoadSettings();
    QVERIFY2(cfg::loadWarnings().isEmpty(), qPrintable(cfg::loadWarnings().join(u'\n')));
    const SysSettings& s = cfg::sys();
    QCOMPARE(s.database, u"lodgex.db"_s);
    QCOMPARE(s.bgkd, QImage(sourcePath(u"install/bmp/0.bmp"_s)).width());
    QVERIFY(s.cols_num > 0);
    QVERIFY(s.com >= 1 && s.com <= 8);
    // The site code belongs to one hotel: the installer writes it, the template must not.
    QVERIFY(s.siteCode() == (std::array<quint8, 4>{0, 0, 0, 0}));
    // Port overrides are examples only; an active line would hijack COM1 on every machine.
    QVERIFY(IniFile(inst.path(u"sys.ini"_s)).keys(u"ports"_s).isEmpty());
}

void TestInstallData::pictures_data()
{
    QTest::addColumn<int>("n");
    for (int n = 0; n < RoomPictures::kPictureCount; ++n)
        QTest::newRow(qPrintable(RoomPictures::pictureFileName(n))) << n;
}

void TestInstallData::pictures()
{
    QFETCH(int, n);
    const QImage stored(sourcePath(u"install/"_s + RoomPictures::pictureFileName(n)));
    QVERIFY(!stored.isNull());
    QCOMPARE(stored.size(), QSize(RoomPictures::kDefaultSize, RoomPictures::kDefaultSize));
    // The generator is the source: a stale or hand-edited file shows up here.
    QVERIFY(differingShare(stored, RoomPictures::picture(n, RoomPictures::kDefaultSize)) < 0.02);
}

void TestInstallData::icons_data()
{
    QTest::addColumn<int>("s");
    for (int s = 0; s < RoomPictures::kIconCount; ++s)
        QTest::newRow(qPrintable(RoomPictures::iconFileName(s))) << s;
}

void TestInstallData::icons()
{
    QFETCH(int, s);
    const QImage stored(sourcePath(u"install/"_s + RoomPictures::iconFileName(s)));
    QVERIFY(!stored.isNull());
    QCOMPARE(stored.size(), QSize(RoomPictures::kIconSize, RoomPictures::kIconSize));
    QVERIFY(stored.hasAlphaChannel());
    // Drawn over the tile: the ground must be transparent.
    QCOMPARE(qAlpha(stored.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(stored.pixel(31, 0)), 0);
    QVERIFY(differingShare(stored, RoomPictures::icon(s)) < 0.02);
}

void TestInstallData::roomStatesLookDifferent()
{
    // A point of the tile body that neither the number, the count badge nor the icon covers
    // at the default size.
    const int size = RoomPictures::kDefaultSize;
    const QPoint body(size - 5, size / 2 - 2);
    for (int a = 0; a < 8; ++a) {
        for (int b = a + 1; b < 8; ++b) {
            const double d = colourDistance(RoomPictures::picture(a, size).pixelColor(body),
                                            RoomPictures::picture(b, size).pixelColor(body));
            QVERIFY2(d > 40, qPrintable(u"pictures %1 and %2 are too alike"_s.arg(a).arg(b)));
        }
    }
    for (int a = 0; a < RoomPictures::kIconCount; ++a) {
        for (int b = a + 1; b < RoomPictures::kIconCount; ++b)
            QVERIFY2(differingShare(RoomPictures::icon(a), RoomPictures::icon(b)) > 0.1,
                     qPrintable(u"icons %1 and %2 have the same shape"_s.arg(a).arg(b)));
    }
}

void TestInstallData::skinStyleSheetParses()
{
    const QString sheet = QString::fromUtf8(readSource(u"install/skin.skn"_s));
    QVERIFY(!sheet.isEmpty());
    QTest::failOnWarning(QRegularExpression(u"stylesheet"_s, QRegularExpression::CaseInsensitiveOption));
    qApp->setStyleSheet(sheet);

    QMainWindow window;
    window.menuBar()->addMenu(u"Front Desk"_s)->addAction(u"Issue Guest Card"_s);
    window.statusBar()->showMessage(u"Occupied: 3"_s);
    auto* tabs = new QTabWidget(&window);
    auto* page = new QWidget(tabs);
    auto* column = new QVBoxLayout(page);
    auto* group = new QGroupBox(u"Card holder"_s, page);
    column->addWidget(group);
    column->addWidget(new QLineEdit(page));
    column->addWidget(new QCheckBox(u"Lost card replacement"_s, page));
    column->addWidget(new QRadioButton(u"Authorization"_s, page));
    column->addWidget(new QComboBox(page));
    column->addWidget(new QDateTimeEdit(page));
    column->addWidget(new QPushButton(u"OK"_s, page));
    auto* grid = new QTableWidget(2, 2, page);
    column->addWidget(grid);
    tabs->addTab(page, u"1"_s);
    window.setCentralWidget(tabs);
    window.show();
    const QList<QWidget*> widgets = window.findChildren<QWidget*>();
    for (QWidget* w : widgets)
        w->ensurePolished();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(grid->horizontalHeader()->isVisible());
    qApp->setStyleSheet(QString());
}

QTEST_MAIN(TestInstallData)
#include "TestInstallData.moc"
