#pragma once

// One card operation at a time. Card operations wait with the event loop running, so a key
// (Delete, multiply) or a timer can ask for a second one while the first still talks to the
// encoder; the second is refused while a CardWork scope is alive.
class CardWork
{
public:
    CardWork();
    ~CardWork();
    CardWork(const CardWork&) = delete;
    CardWork& operator=(const CardWork&) = delete;

    // False when another card operation was already running: do nothing then.
    bool acquired() const { return m_acquired; }
    static bool busy();

private:
    bool m_acquired;
};
