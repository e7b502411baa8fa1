#include "support/WireLocale.h"

#include <cstdlib>
#include <cstring>

ScopedWireLocale::ScopedWireLocale(const char* posixLocale, unsigned short) {
    const char* previous = std::getenv("LC_ALL");
    m_hadPrevious = previous != nullptr;
    if (previous != nullptr)
        std::strncpy(m_previousText, previous, sizeof m_previousText - 1);
    setenv("LC_ALL", posixLocale, 1);
}

ScopedWireLocale::~ScopedWireLocale() {
    if (m_hadPrevious)
        setenv("LC_ALL", m_previousText, 1);
    else
        unsetenv("LC_ALL");
}
