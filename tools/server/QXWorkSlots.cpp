#include "QXWorkSlots.h"

CQXWorkSlots::CSlot::CSlot(CQXWorkSlots& slots) : m_slots(slots) {
    std::unique_lock<std::mutex> lock(m_slots.m_mutex);
    m_slots.m_freed.wait(lock, [this] { return m_slots.m_free > 0; });
    --m_slots.m_free;
}

CQXWorkSlots::CSlot::~CSlot() {
    std::lock_guard<std::mutex> lock(m_slots.m_mutex);
    ++m_slots.m_free;
    m_slots.m_freed.notify_one();
}
