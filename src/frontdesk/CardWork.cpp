#include "frontdesk/CardWork.h"

namespace {
bool g_busy = false;
}

CardWork::CardWork() : m_acquired(!g_busy)
{
    if (m_acquired)
        g_busy = true;
}

CardWork::~CardWork()
{
    if (m_acquired)
        g_busy = false;
}

bool CardWork::busy()
{
    return g_busy;
}
