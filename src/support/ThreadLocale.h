#pragma once

#include <locale.h>

// Makes a C library locale the calling thread's for as long as the guard lives, leaving the
// process's locale alone.
class ThreadLocale {
public:
    explicit ThreadLocale(locale_t locale) : m_previous(uselocale(locale)) {}
    ~ThreadLocale() { uselocale(m_previous); }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

    // The "C" locale, made once: numbers printed under it always use "." as decimal point.
    static locale_t Classic();

private:
    locale_t m_previous;
};
