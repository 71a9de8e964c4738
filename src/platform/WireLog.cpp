#include "platform/WireLog.h"

#include "platform/Clock.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace WireLog {
namespace {

struct Sink
{
    bool active = false;
    bool toStderr = false;
    std::unique_ptr<QFile> file;
};

Sink& sink()
{
    static Sink s = [] {
        Sink initial;
        const QString target = qEnvironmentVariable("TOLVANE_WIRE_LOG");
        if (!target.isEmpty()) {
            initial.active = true;
            initial.toStderr = target == QLatin1String("-");
            if (!initial.toStderr) {
                initial.file = std::make_unique<QFile>(target);
                if (!initial.file->open(QIODevice::Append | QIODevice::Text))
                    initial.active = false;
            }
        }
        return initial;
    }();
    return s;
}

void writeLine(const QString& line)
{
    Sink& s = sink();
    const QByteArray utf8 = (Clock::instance().now().toString(QStringLiteral("HH:mm:ss.zzz ")) + line + u'\n')
                                .toUtf8();
    if (s.toStderr) {
        std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stderr);
    } else if (s.file) {
        s.file->write(utf8);
        s.file->flush();
    }
}

} // namespace

bool enabled()
{
    return sink().active;
}

void setTarget(const QString& fileOrDash)
{
    Sink& s = sink();
    s.file.reset();
    s.active = !fileOrDash.isEmpty();
    s.toStderr = fileOrDash == QLatin1String("-");
    if (s.active && !s.toStderr) {
        s.file = std::make_unique<QFile>(fileOrDash);
        if (!s.file->open(QIODevice::Append | QIODevice::Text))
            s.active = false;
    }
}

void record(Direction direction, const QByteArray& bytes)
{
    if (!enabled() || bytes.isEmpty())
        return;
    writeLine(QLatin1String(direction == Direction::Out ? "> " : "< ") +
              QString::fromLatin1(bytes.toHex(' ').toUpper()));
}

void note(const QString& text)
{
    if (enabled())
        writeLine(QStringLiteral("# ") + text);
}

QList<TraceLine> parseTrace(const QString& text)
{
    static const QRegularExpression line(QStringLiteral(R"(^(?:\S+\s+)?([<>])\s+([0-9A-Fa-f ]+)$)"));
    QList<TraceLine> out;
    for (const QString& raw : text.split(u'\n')) {
        const auto m = line.match(raw.trimmed());
        if (!m.hasMatch())
            continue;
        out.append({m.captured(1) == QLatin1String(">") ? Direction::Out : Direction::In,
                    QByteArray::fromHex(m.captured(2).toLatin1())});
    }
    return out;
}

} // namespace WireLog
