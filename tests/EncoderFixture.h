#pragma once

#include "EmulatedStream.h"
#include "EncoderEngine.h"
#include "MifareClassic.h"
#include "config/Settings.h"
#include "encoder/TForm_Com.h"
#include "platform/Clock.h"

#include <memory>

// An encoder module talking to the emulated encoder under virtual time: whole card
// operations run in microseconds, with the reply timing of a 9600-baud line.
struct EncoderFixture
{
    VirtualClock clock;
    ScopedClock useClock{clock};
    EncoderEngine engine;
    TForm_Com com;
    bool portOpenFails = false;

    EncoderFixture()
    {
        cfg::sys() = SysSettings{};
        com.setStreamFactory([this](int) {
            auto stream = std::make_unique<EmulatedStream>(engine);
            stream->setOpenFails(portOpenFails);
            return stream;
        });
    }

    void placeFactory1k(quint32 uid = 0x11223344)
    {
        engine.placeCard(MifareClassic::factory(
            MifareClassic::Kind::Classic1K,
            MifareClassic::Uid{quint8(uid >> 24), quint8(uid >> 16), quint8(uid >> 8), quint8(uid)}));
    }
    QString control(const QString& line) { return engine.control(line); }
    MifareClassic& card() { return *engine.card(); }
};
