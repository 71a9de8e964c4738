#pragma once

#include "card/TCard.h"
#include "encoder/TForm_Com.h"

#include <QStringList>
#include <QWidget>
#include <deque>
#include <memory>

class EncoderEngine;
class MifareClassic;
class QLabel;
class WireTap;

// What the card in the field is to the program, read from its raw memory: the card sector's
// signature, trailer and image, decoded with the program's own TCard::Decode.
struct CardView
{
    QString uid;
    QString model;
    enum class State { None, Factory, Foreign, Blank, Issued } state = State::None;
    QString stateText;
    QString signature;
    bool signatureFitsEncoder = true;
    QString kind;
    QString place;
    QString start;
    QString end;
    QString keyA;
    QString image;
};
CardView viewOfCard(const MifareClassic* card, int sector, quint8 encoderIdentification, TCard& decoder);

// One logged block on the line with what it is, for a person: "> 02 08 05", "read block 5".
struct WireEntry
{
    QString time;
    QString direction; // ">" to the encoder, "<" back, "#" a note
    QString bytes;
    QString meaning;
};
WireEntry describeWireLine(const QString& logLine);

// The emulator for a person at the desk: buttons that place, remove and save cards, the card
// in the field decoded, and the last frames on the line. It follows the engine whenever the
// event loop goes idle, so every frame, control line and click is shown as soon as it has been
// handled, whoever sent it.
class EmulatorWindow : public QWidget
{
    Q_OBJECT
public:
    EmulatorWindow(EncoderEngine& engine, const QString& linkPath, QWidget* parent = nullptr);
    ~EmulatorWindow() override;

    static constexpr int kFramesShown = 10;

private:
    QWidget* makeButtons();
    QWidget* makeCardPanel();
    QWidget* makeFramesPanel();
    void placeFactory(const QString& kind);
    void placeSavedCard();
    void removeCard();
    void saveCard();
    void addWireLine(const QString& line);
    void refresh();
    void showCard(const CardView& view);

    EncoderEngine& m_engine;
    QString m_linkPath;
    // TCard decodes through a module; decoding never touches its port.
    TForm_Com m_decoderModule;
    TCard m_decoder{m_decoderModule};
    std::unique_ptr<WireTap> m_tap;
    std::deque<WireEntry> m_frames;

    QLabel* m_encoder = nullptr;
    QLabel* m_uid = nullptr;
    QLabel* m_model = nullptr;
    QLabel* m_state = nullptr;
    QLabel* m_signature = nullptr;
    QLabel* m_kind = nullptr;
    QLabel* m_place = nullptr;
    QLabel* m_start = nullptr;
    QLabel* m_end = nullptr;
    QLabel* m_keyA = nullptr;
    QLabel* m_image = nullptr;
    QLabel* m_framesText = nullptr;
    QLabel* m_message = nullptr;
};
