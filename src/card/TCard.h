#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <stdexcept>

class TForm_Com;

// Where a room is, as the card format needs it (table room).
struct RoomAddress
{
    quint8 building = 0;
    quint8 floor = 0;
    quint8 index = 0;
    int cardCount = 0;
};

// A date or value on a card that the calendar cannot hold (e.g. 30 February).
class ConversionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Result codes of the card operations.
namespace CardResult {
enum : int {
    Done = 0,
    NoCard = 1,
    ForeignSignature = 2,
    KeyBRefused = 3,
    PortOrException = 4,
    SiteByte30 = 5,
    SiteByte31 = 6,
    Blank = 7,
    ReadBackDiffers = 11,
};
} // namespace CardResult

// The card record and the operations that move it to and from a card.
//
// Image bytes are numbered from 1: D(1)..D(32) is the card image in the card sector,
// E(1)..E(32) the auxiliary image. One global instance (Card()) is shared by every screen;
// each operation starts from what the previous one left, so screens Clear() or read first.
class TCard
{
public:
    explicit TCard(TForm_Com& com);

    // --- the record ---
    QString roomNo;
    quint8 building = 0;
    quint8 floor = 0;
    quint8 roomIndex = 0;
    quint8 doorByte = 0;
    quint8 workArea = 0;
    quint8 flags = 0;
    QDateTime start;
    QDateTime end;
    int kind = 0;
    quint8 subCode = 0;
    quint8 loss = 0;
    qint64 serial = 0;
    QByteArray serialText; // the four serial bytes as received
    std::array<QDateTime, 8> timeWindows;
    std::array<QString, 4> timeTables;
    std::array<quint8, 32> image{};
    std::array<quint8, 32> aux{};
    std::array<quint8, 64> readBack{};
    QString serialHex;
    QString contentHex;
    QString readBackHex;
    QString comparisonHex;
    QString auxHex;
    QString auxReadBackHex;
    QString auxComparisonHex;
    QString kindName;
    QString operatorName;
    QDateTime publishTime;
    QString holderName;
    QString remark;
    int roomCardCount = 0;

    quint8& D(int i) { return image.at(static_cast<size_t>(i - 1)); }
    quint8 D(int i) const { return image.at(static_cast<size_t>(i - 1)); }
    quint8& E(int i) { return aux.at(static_cast<size_t>(i - 1)); }
    quint8 E(int i) const { return aux.at(static_cast<size_t>(i - 1)); }

    // --- layout ---
    void Clear();
    void Encode(); // EncodeKind, EncodeRoom, EncodeTimes; raises Eic 13 / 17
    void EncodeKind();
    void EncodeRoom();
    void EncodeTimes();
    void EncodeAux();
    void EncodeAuxKind();
    void EncodeAuxRoom();
    void EncodeAuxTimes();
    // Fills the record from D; throws ConversionError for a date the calendar rejects.
    void Decode();

    static quint8 ToBcd(quint8 b);
    static QString ZeroPad(int width, qint64 n);
    static QString ByteToBits(quint8 b);
    // Throws ConversionError for a character that is not a decimal digit.
    static quint8 BitsToByte(const QString& text);
    static QString hexOf(const quint8* bytes, int n);
    template <size_t N>
    static QString hexOf(const std::array<quint8, N>& bytes)
    {
        return hexOf(bytes.data(), static_cast<int>(N));
    }

    // --- sector access ---
    int SelectCard();
    int Authenticate(quint8 keyType);
    int LoadCardKeys();
    int LoadAuxKeys();
    int WriteTrailer(int mode);
    bool Beep();
    static QByteArray trailerBytes(int mode, const std::array<quint8, 4>& siteCode);
    static QByteArray siteKeyA(const std::array<quint8, 4>& siteCode);

    // --- card operations (result codes of CardResult) ---
    int WriteCard(int trailerMode);
    int WriteCardVerified(int trailerMode);
    int ReadCard();
    int ReadCardOwnPort();
    int EraseCard();
    int EraseCardVerified();
    int ResetCard();
    int ParseCardReport();

    // How EncodeRoom finds a room ("select * from room where room_no=..."); set by the data
    // store at start-up, replaced by tests.
    using RoomLookup = std::function<std::optional<RoomAddress>(const QString& roomNo)>;
    static void setRoomLookup(RoomLookup lookup);

    TForm_Com& com() { return m_com; }

private:
    RoomAddress lookUpRoom();
    void prepareImage();
    void prepareErasedImage();
    int writeBlock(quint8 block, const QByteArray& data16);
    bool readBlock(quint8 block, quint8* into);
    int runAuxiliaryPart();
    int writeSequence(int trailerMode);
    int readSequence(bool acceptServiceMarker);
    int checkSignatureBlock();
    quint8 sector() const;
    quint8 auxSector() const;

    TForm_Com& m_com;
};

// The global card object, created anew by every TSystem::LoadSettings.
TCard& Card();
void ResetGlobalCard();
