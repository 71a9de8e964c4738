#include "EmulatorWindow.h"

#include "EncoderEngine.h"
#include "MifareClassic.h"
#include "card/CardKeys.h"
#include "card/DesString.h"
#include "config/Settings.h"
#include "platform/WireLog.h"

#include <QAbstractEventDispatcher>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtEndian>
#include <cstdio>

namespace {

constexpr int kBytesShownPerBlock = 8;

QString hexOf(const QByteArray& bytes, char separator = '\0')
{
    return QString::fromLatin1(separator ? bytes.toHex(separator).toUpper() : bytes.toHex().toUpper());
}

QString hexByte(quint8 byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QString keyName(quint8 keyType)
{
    return keyType == EncoderEngine::kKeyTypeB ? QStringLiteral("Key B") : QStringLiteral("Key A");
}

// What a command frame asks, or nothing for bytes that are not a whole known frame.
QString commandMeaning(const QByteArray& f)
{
    if (f.size() < 2 || f.size() != 1 + static_cast<quint8>(f[0]))
        return {};
    const auto at = [&f](int i) { return static_cast<quint8>(f[i]); };
    switch (at(1)) {
    case EncoderEngine::Request:
        return QStringLiteral("request");
    case EncoderEngine::Anticollision:
        return QStringLiteral("anticollision");
    case EncoderEngine::Select:
        return QStringLiteral("select");
    case EncoderEngine::Authenticate:
        return f.size() == 5 ? QStringLiteral("authenticate %1, sector %2").arg(keyName(at(2))).arg(at(3))
                             : QString();
    case EncoderEngine::LoadKey:
        return f.size() == 10 ? QStringLiteral("load %1, sector %2").arg(keyName(at(2))).arg(at(3))
                              : QString();
    case EncoderEngine::ReadBlock:
        return f.size() == 3 ? QStringLiteral("read block %1").arg(at(2)) : QString();
    case EncoderEngine::WriteBlock:
        return f.size() == 19 ? QStringLiteral("write block %1").arg(at(2)) : QString();
    case EncoderEngine::Beep:
        return QStringLiteral("beep");
    case EncoderEngine::Identify:
        return QStringLiteral("identification");
    default:
        return {};
    }
}

QString replyMeaning(const QByteArray& r)
{
    if (r == QByteArray::fromHex("0100"))
        return QStringLiteral("ok");
    if (r == QByteArray::fromHex("0101"))
        return QStringLiteral("failed");
    if (r.size() == 18 && r[0] == 0x11 && r[1] == 0x00)
        return QStringLiteral("block data");
    return {};
}

// The frames as a table: time, direction, bytes, meaning.
QString framesHtml(const std::deque<WireEntry>& frames)
{
    if (frames.empty())
        return QStringLiteral("<span style=\"color:#5f6368\">no frames yet</span>");
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"0\">");
    for (const WireEntry& e : frames) {
        html += QStringLiteral("<tr><td style=\"color:#5f6368\">%1&nbsp;&nbsp;</td><td><b>%2</b>&nbsp;</td>"
                               "<td>%3&nbsp;&nbsp;&nbsp;</td><td style=\"color:#1f5ea8\">%4</td></tr>")
                    .arg(e.time.toHtmlEscaped(), e.direction.toHtmlEscaped(), e.bytes.toHtmlEscaped(),
                         e.meaning.toHtmlEscaped());
    }
    return html + QStringLiteral("</table>");
}

void setTextIfChanged(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

QString stateColour(CardView::State state)
{
    switch (state) {
    case CardView::State::Issued:
        return QStringLiteral("#1b7a3a");
    case CardView::State::Blank:
        return QStringLiteral("#1f5ea8");
    case CardView::State::Foreign:
        return QStringLiteral("#b35900");
    default:
        return QStringLiteral("#5f6368");
    }
}

} // namespace

// The wire log, read back. WireLog writes every block on the line to a file (the one named by
// TOLVANE_WIRE_LOG, or a temporary one, then echoed to standard error for "-"); this reads
// what was appended since it last looked.
class WireTap
{
public:
    WireTap()
    {
        const QString target = qEnvironmentVariable("TOLVANE_WIRE_LOG");
        if (!target.isEmpty() && target != QLatin1String("-")) {
            m_file.setFileName(target);
        } else {
            m_echo = target == QLatin1String("-");
            m_ownTarget = true;
            m_file.setFileName(m_dir.filePath(QStringLiteral("wire.log")));
            WireLog::setTarget(m_file.fileName());
        }
        if (!m_file.exists()) {
            QFile create(m_file.fileName());
            create.open(QIODevice::WriteOnly);
        }
        if (m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            m_file.seek(m_file.size());
    }

    ~WireTap()
    {
        if (m_ownTarget)
            WireLog::setTarget(m_echo ? QStringLiteral("-") : QString());
    }
    WireTap(const WireTap&) = delete;
    WireTap& operator=(const WireTap&) = delete;

    QStringList newLines()
    {
        if (!m_file.isOpen())
            return {};
        m_partial += m_file.readAll();
        const qsizetype end = m_partial.lastIndexOf('\n');
        if (end < 0)
            return {};
        const QByteArray complete = m_partial.left(end + 1);
        m_partial.remove(0, end + 1);
        if (m_echo) {
            std::fwrite(complete.constData(), 1, static_cast<size_t>(complete.size()), stderr);
            std::fflush(stderr);
        }
        return QString::fromUtf8(complete).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir m_dir;
    QFile m_file;
    QByteArray m_partial;
    bool m_echo = false;
    bool m_ownTarget = false;
};

WireEntry describeWireLine(const QString& logLine)
{
    // "HH:mm:ss.zzz > 02 08 05", or a note "HH:mm:ss.zzz # reply dropped".
    const QString time = logLine.section(u' ', 0, 0);
    const QString direction = logLine.section(u' ', 1, 1);
    const QString rest = logLine.section(u' ', 2);
    if (direction != u">" && direction != u"<")
        return {time, QStringLiteral("#"), logLine.section(u' ', 1), {}};
    const QByteArray bytes = QByteArray::fromHex(rest.toLatin1());
    QString shown = hexOf(bytes.left(kBytesShownPerBlock), ' ');
    if (bytes.size() > kBytesShownPerBlock)
        shown += QStringLiteral(" … (%1 bytes)").arg(bytes.size());
    return {time, direction, shown, direction == u">" ? commandMeaning(bytes) : replyMeaning(bytes)};
}

namespace {

bool hasTransportAccess(const QByteArray& trailer)
{
    for (size_t i = 0; i < MifareClassic::kTransportAccess.size(); ++i) {
        if (static_cast<quint8>(trailer[6 + static_cast<qsizetype>(i)]) != MifareClassic::kTransportAccess[i])
            return false;
    }
    return true;
}

// The signature's identification byte beside the encoder's: they differ, reads give 5.
void describeSignature(const QByteArray& plain, quint8 encoderIdentification, CardView& view)
{
    if (plain.size() < 5)
        return;
    const auto signedFor = static_cast<quint8>(plain[4]);
    view.signatureFitsEncoder = signedFor == encoderIdentification;
    view.signature = view.signatureFitsEncoder
                         ? QStringLiteral("site byte %1, as the encoder").arg(hexByte(signedFor))
                         : QStringLiteral("site byte %1, but the encoder reports %2: reads give 5")
                               .arg(hexByte(signedFor), hexByte(encoderIdentification));
}

void describeImage(const QByteArray& image, TCard& decoder, CardView& view)
{
    for (int i = 0; i < 32; ++i)
        decoder.image[static_cast<size_t>(i)] = static_cast<quint8>(image[i]);
    try {
        decoder.Decode();
    } catch (const ConversionError& e) {
        view.kind = QStringLiteral("image not decodable: %1").arg(QString::fromUtf8(e.what()));
        return;
    }
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
    view.kind = QStringLiteral("%1  %2").arg(decoder.kind).arg(decoder.kindName);
    view.place = QStringLiteral("building %1, floor %2, room index %3")
                     .arg(decoder.building)
                     .arg(decoder.floor)
                     .arg(decoder.roomIndex);
    view.start = decoder.start.toString(format);
    view.end = decoder.end.toString(format);
}

} // namespace

CardView viewOfCard(const MifareClassic* card, int sector, quint8 encoderIdentification, TCard& decoder)
{
    CardView view;
    if (!card) {
        view.stateText = QStringLiteral("No card in the field");
        return view;
    }
    QByteArray uid;
    for (quint8 b : card->uid())
        uid.append(static_cast<char>(b));
    view.uid = QStringLiteral("%1  (%2)").arg(hexOf(uid)).arg(qFromBigEndian<quint32>(uid.constData()));
    view.model = card->kind() == MifareClassic::Kind::Classic1K ? QStringLiteral("Mifare Classic 1K")
                                                                : QStringLiteral("Mifare Classic 4K");
    if (!card->hasSector(sector)) {
        view.state = CardView::State::Foreign;
        view.stateText = QStringLiteral("No sector %1 on this card").arg(sector);
        return view;
    }
    const int first = MifareClassic::firstBlockOfSector(sector);
    const QByteArray trailer = card->rawBlock(MifareClassic::trailerBlockOfSector(sector));
    const QByteArray image = card->rawBlock(first + 1) + card->rawBlock(first + 2);
    view.keyA = hexOf(trailer.left(6)) +
                (trailer.left(6) == CardKeys::factoryKey() ? QStringLiteral("  (factory)") : QString());
    view.image = hexOf(image.left(16), ' ') + u'\n' + hexOf(image.mid(16), ' ');

    const QByteArray plain = DecryptString(card->rawBlock(first).left(8), CardKeys::signatureKey());
    if (plain.size() < 4 || plain.left(4) != uid) {
        const bool factory = hasTransportAccess(trailer);
        view.state = factory ? CardView::State::Factory : CardView::State::Foreign;
        view.stateText = factory ? QStringLiteral("Factory card (transport keys)")
                                 : QStringLiteral("Not initialised by this system (no matching signature)");
        return view;
    }
    describeSignature(plain, encoderIdentification, view);
    if (static_cast<quint8>(image[0]) == 0xFF) {
        view.state = CardView::State::Blank;
        view.stateText = QStringLiteral("Blank (initialised, never issued)");
        return view;
    }
    view.state = CardView::State::Issued;
    view.stateText = QStringLiteral("Issued");
    describeImage(image, decoder, view);
    return view;
}

EmulatorWindow::EmulatorWindow(EncoderEngine& engine, const QString& linkPath, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_linkPath(linkPath), m_tap(std::make_unique<WireTap>())
{
    setWindowTitle(QStringLiteral("Tolvane encoder emulator"));
    auto* layout = new QVBoxLayout(this);
    m_encoder = new QLabel(this);
    layout->addWidget(m_encoder);
    layout->addWidget(makeButtons());
    layout->addWidget(makeCardPanel());
    layout->addWidget(makeFramesPanel(), 1);
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    layout->addWidget(m_message);

    // Whatever woke the loop (a frame on the line, a control line, a click) has been handled
    // by the time it goes idle again: that is when the window catches up.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &EmulatorWindow::refresh);
    refresh();
}

EmulatorWindow::~EmulatorWindow() = default;

QWidget* EmulatorWindow::makeButtons()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto add = [&](const QString& text, auto slot) {
        auto* button = new QPushButton(text, row);
        connect(button, &QPushButton::clicked, this, slot);
        layout->addWidget(button);
    };
    add(QStringLiteral("Place factory 1K"), [this] { placeFactory(QStringLiteral("factory1k")); });
    add(QStringLiteral("Place factory 4K"), [this] { placeFactory(QStringLiteral("factory4k")); });
    add(QStringLiteral("Place blank card"), [this] { placeFactory(QStringLiteral("blank")); });
    add(QStringLiteral("Place saved card…"), [this] { placeSavedCard(); });
    add(QStringLiteral("Remove card"), [this] { removeCard(); });
    add(QStringLiteral("Save card…"), [this] { saveCard(); });
    layout->addStretch();
    return row;
}

QWidget* EmulatorWindow::makeCardPanel()
{
    auto* box = new QGroupBox(QStringLiteral("Card in the field"), this);
    auto* form = new QFormLayout(box);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto row = [&](const QString& label, bool monospace = false) {
        auto* value = new QLabel(box);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (monospace)
            value->setFont(fixed);
        form->addRow(label, value);
        return value;
    };
    m_state = row(QStringLiteral("State"));
    m_signature = row(QStringLiteral("Signed for"));
    m_uid = row(QStringLiteral("UID / serial"), true);
    m_model = row(QStringLiteral("Card"));
    m_kind = row(QStringLiteral("Kind"));
    m_place = row(QStringLiteral("Room"));
    m_start = row(QStringLiteral("Valid from"));
    m_end = row(QStringLiteral("Valid until"));
    m_keyA = row(QStringLiteral("Key A (sector %1)").arg(cfg::sys().sector), true);
    m_image = row(QStringLiteral("Image (sector %1)").arg(cfg::sys().sector), true);
    QFont bold = m_state->font();
    bold.setBold(true);
    m_state->setFont(bold);
    return box;
}

QWidget* EmulatorWindow::makeFramesPanel()
{
    auto* box = new QGroupBox(QStringLiteral("Last frames  (> to the encoder, < back)"), this);
    auto* layout = new QVBoxLayout(box);
    m_framesText = new QLabel(box);
    m_framesText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_framesText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_framesText->setTextFormat(Qt::RichText);
    m_framesText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_framesText->setMinimumHeight(QFontMetrics(m_framesText->font()).lineSpacing() * kFramesShown);
    layout->addWidget(m_framesText);
    return box;
}

void EmulatorWindow::placeFactory(const QString& kind)
{
    m_message->setText(m_engine.control(QStringLiteral("place ") + kind));
    refresh();
}

void EmulatorWindow::placeSavedCard()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Place saved card"), QString(),
                                     QStringLiteral("Card dumps (*.dump *.bin *.mfd);;All files (*)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    auto card = file.open(QIODevice::ReadOnly) ? MifareClassic::fromDump(file.readAll()) : std::nullopt;
    if (!card) {
        m_message->setText(QStringLiteral("%1 is not a 1024- or 4096-byte card dump").arg(path));
        return;
    }
    m_engine.placeCard(std::move(*card));
    m_message->setText(QStringLiteral("placed %1").arg(path));
    refresh();
}

void EmulatorWindow::removeCard()
{
    m_engine.removeCard();
    m_message->setText(QStringLiteral("card removed"));
    refresh();
}

void EmulatorWindow::saveCard()
{
    const MifareClassic* card = m_engine.card();
    if (!card) {
        m_message->setText(QStringLiteral("no card in the field to save"));
        return;
    }
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save card"), QStringLiteral("card.dump"),
                                     QStringLiteral("Card dumps (*.dump);;All files (*)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                       file.write(card->dump()) == card->dump().size();
    m_message->setText(saved ? QStringLiteral("saved %1").arg(path)
                             : QStringLiteral("cannot write %1").arg(path));
}

void EmulatorWindow::addWireLine(const QString& line)
{
    m_frames.push_back(describeWireLine(line));
    while (m_frames.size() > kFramesShown)
        m_frames.pop_front();
}

void EmulatorWindow::refresh()
{
    for (const QString& line : m_tap->newLines())
        addWireLine(line);
    const auto id = m_engine.identification();
    setTextIfChanged(m_encoder,
                     QStringLiteral("Encoder on <b>%1</b> — identification %2%3, card latency %4 ms")
                         .arg(m_linkPath.toHtmlEscaped(), hexByte(id[0]), hexByte(id[1]))
                         .arg(m_engine.cardLatencyMs()));
    showCard(viewOfCard(m_engine.card(), cfg::sys().sector, id[0], m_decoder));
    setTextIfChanged(m_framesText, framesHtml(m_frames));
}

void EmulatorWindow::showCard(const CardView& view)
{
    const QString none = QStringLiteral("—");
    auto orNone = [&none](const QString& text) { return text.isEmpty() ? none : text; };
    setTextIfChanged(m_state, view.stateText);
    const QString style = QStringLiteral("color: %1").arg(stateColour(view.state));
    if (m_state->styleSheet() != style)
        m_state->setStyleSheet(style);
    setTextIfChanged(m_signature, orNone(view.signature));
    const QString signatureStyle =
        view.signatureFitsEncoder ? QString()
                                  : QStringLiteral("color: %1").arg(stateColour(CardView::State::Foreign));
    if (m_signature->styleSheet() != signatureStyle)
        m_signature->setStyleSheet(signatureStyle);
    setTextIfChanged(m_uid, orNone(view.uid));
    setTextIfChanged(m_model, orNone(view.model));
    setTextIfChanged(m_kind, orNone(view.kind));
    setTextIfChanged(m_place, orNone(view.place));
    setTextIfChanged(m_start, orNone(view.start));
    setTextIfChanged(m_end, orNone(view.end));
    setTextIfChanged(m_keyA, orNone(view.keyA));
    setTextIfChanged(m_image, orNone(view.image));
}
