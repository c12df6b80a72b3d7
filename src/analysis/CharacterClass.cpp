#include "analysis/CharacterClass.h"

#include <clocale>
#include <cwctype>
#include <initializer_list>
#include <locale.h>

namespace analysis {

namespace {

/// The C library's UTF-8 character classes, made once and kept for the
/// process: classifying through a locale object of our own leaves the
/// host's global locale alone.
class Utf8Classes {
public:
    Utf8Classes()
    {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            locale = ::newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
            if (locale != static_cast<locale_t>(nullptr))
                break;
        }
    }
    ~Utf8Classes()
    {
        if (locale != static_cast<locale_t>(nullptr))
            ::freelocale(locale);
    }
    Utf8Classes(const Utf8Classes&) = delete;
    Utf8Classes& operator=(const Utf8Classes&) = delete;

    bool alphabetic(char32_t c) const
    {
        return locale != static_cast<locale_t>(nullptr) && ::iswalpha_l(static_cast<wint_t>(c), locale) != 0;
    }
    wchar_t lower(wchar_t c) const
    {
        return locale == static_cast<locale_t>(nullptr)
                   ? c
                   : static_cast<wchar_t>(::towlower_l(static_cast<wint_t>(c), locale));
    }

private:
    locale_t locale = static_cast<locale_t>(nullptr);
};

const Utf8Classes& utf8Classes()
{
    static const Utf8Classes classes;
    return classes;
}

bool isEscapedByte(char32_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

} // namespace

bool isLetter(char32_t c)
{
    if (c < 0x80)
        return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z');
    return !isEscapedByte(c) && utf8Classes().alphabetic(c);
}

wchar_t foldNonAscii(wchar_t c)
{
    if (c < 0x80 || isEscapedByte(static_cast<char32_t>(c)))
        return c;
    return utf8Classes().lower(c);
}

} // namespace analysis
