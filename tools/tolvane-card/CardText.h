#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class TCard;

// Card images as text and the card record as the field tool prints it: one "name value" line
// per field, so a person reads it and a script splits it at the first space.
namespace CardText {

using Image = std::array<quint8, 32>;

// 64 hexadecimal digits (either case) as the 32 image bytes; nothing, with the reason in
// *error, for any other text.
std::optional<Image> parseImage(const QString& text, QString* error);

// The record lines of the image in card.image: decoded with TCard::Decode (which throws
// ConversionError for a date the calendar refuses), or only the image line for a blank image.
QStringList recordLines(TCard& card);

// The serial line: the four serial bytes in hexadecimal, then the decimal number the
// database keeps (card_hard_no).
QString serialLine(const TCard& card);

// What the result codes of a read mean, for the person at the desk.
QString resultMeaning(int result);

} // namespace CardText
