#pragma once

// Makes the calling thread's wire code page that of a locale for the object's life: LC_ALL on
// Linux, the thread locale (a Windows language id) on Windows.
class ScopedWireLocale {
public:
    ScopedWireLocale(const char* posixLocale, unsigned short windowsLanguage);
    ~ScopedWireLocale();
    ScopedWireLocale(const ScopedWireLocale&) = delete;
    ScopedWireLocale& operator=(const ScopedWireLocale&) = delete;

private:
    unsigned long m_previous = 0;
    bool m_hadPrevious = false;
    char m_previousText[64] = {};
};
