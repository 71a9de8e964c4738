#pragma once

#include <QByteArray>
#include <QString>

// Every byte that crosses the encoder line passes here. With TOLVANE_WIRE_LOG set to a
// file name (or "-" for standard error) each block is written as a timestamped hex line:
//   12:00:01.250 > 02 08 04
//   12:00:01.262 < 11 00 ...
// The same format is read back by WireLog::parseTrace to replay a capture in a test.
namespace WireLog {

enum class Direction { Out, In };

void record(Direction direction, const QByteArray& bytes);
void note(const QString& text);
bool enabled();
// Redirects the log (tests); empty disables it.
void setTarget(const QString& fileOrDash);

struct TraceLine
{
    Direction direction;
    QByteArray bytes;
};
QList<TraceLine> parseTrace(const QString& text);

} // namespace WireLog
