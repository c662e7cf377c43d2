#include "base/SysError.h"

#include <cerrno>

namespace tk {

namespace {

struct ErrnoText {
    int err;
    const char* text;
};

// The errors a port, a file or a folder of the program can meet; the rest are named by
// number (they would be a fault of the program, not of the user's setup).
constexpr ErrnoText kTexts[] = {
    {EPERM, "operace není povolena"},
    {ENOENT, "soubor nebo zařízení neexistuje"},
    {ESRCH, "proces neexistuje"},
    {EINTR, "přerušeno signálem"},
    {EIO, "chyba vstupu a výstupu zařízení"},
    {ENXIO, "zařízení není připojeno"},
    {E2BIG, "příliš dlouhý seznam argumentů"},
    {ENOEXEC, "soubor nelze spustit"},
    {EBADF, "neplatný popisovač souboru"},
    {ECHILD, "žádný podřízený proces"},
    {EAGAIN, "prostředek je dočasně nedostupný"},
    {ENOMEM, "nedostatek paměti"},
    {EACCES, "přístup odepřen"},
    {EFAULT, "neplatná adresa"},
    {EBUSY, "zařízení je obsazeno"},
    {EEXIST, "soubor již existuje"},
    {EXDEV, "odkaz mezi různými souborovými systémy"},
    {ENODEV, "zařízení neexistuje"},
    {ENOTDIR, "není složka"},
    {EISDIR, "je to složka"},
    {EINVAL, "neplatný argument"},
    {ENFILE, "v systému je otevřeno příliš mnoho souborů"},
    {EMFILE, "program má otevřeno příliš mnoho souborů"},
    {ENOTTY, "není terminál ani sériový port"},
    {ETXTBSY, "soubor se právě používá"},
    {EFBIG, "soubor je příliš velký"},
    {ENOSPC, "na disku není místo"},
    {ESPIPE, "v souboru nelze přecházet"},
    {EROFS, "souborový systém je jen pro čtení"},
    {EMLINK, "příliš mnoho odkazů"},
    {EPIPE, "protější strana spojení skončila"},
    {ENAMETOOLONG, "příliš dlouhé jméno souboru"},
    {ENOSYS, "funkce není podporována"},
    {ENOTEMPTY, "složka není prázdná"},
    {ELOOP, "příliš mnoho symbolických odkazů"},
    {ENOLCK, "zámek není k dispozici"},
    {EDQUOT, "překročena disková kvóta"},
    {ETIMEDOUT, "vypršel časový limit"},
    {EOVERFLOW, "hodnota je příliš velká"},
    {ENOTSUP, "operace není podporována"},
    {ECANCELED, "operace byla zrušena"},
    {EPROTO, "chyba protokolu"},
    {ECONNRESET, "spojení bylo přerušeno"},
    {ENOBUFS, "nedostatek vyrovnávací paměti"},
    {EOWNERDEAD, "vlastník zámku skončil"},
    {ENOMEDIUM, "v mechanice není médium"},
    {EHOSTDOWN, "zařízení je vypnuto"},
};

} // namespace

std::string SystemErrorText(int err) {
    for (const ErrnoText& t : kTexts)
        if (t.err == err)
            return t.text;
    return "systémová chyba " + std::to_string(err);
}

} // namespace tk
