#include "support/WireLocale.h"

#include <windows.h>

ScopedWireLocale::ScopedWireLocale(const char*, unsigned short windowsLanguage)
    : m_previous(GetThreadLocale()) {
    SetThreadLocale(MAKELCID(windowsLanguage, SORT_DEFAULT));
}

ScopedWireLocale::~ScopedWireLocale() { SetThreadLocale(m_previous); }
