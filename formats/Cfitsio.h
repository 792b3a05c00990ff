#pragma once
// cfitsio loaded at run time, on the first FITS file read, rather than
// linked: the library brings some thirty others with it (its network
// drivers), whose loading every run of the programs would pay, FITS or not.
// (FITS files are written without it, formats/FitsFile.h.)
//
// Include this instead of <fitsio.h>: the fits_* names used here call the
// library through its loaded table. When it cannot be loaded, each call
// fails with the status kCfitsioMissing, which fits_get_errstatus words.
// A fits_* name not listed here does not link: add it to the list.
#include <fitsio.h>

#include <cstddef>
#include <tuple>

namespace ostrander::cfitsio {

// The status of every call when the library cannot be loaded (no cfitsio
// status has this number).
inline constexpr int kCfitsioMissing = 9901;

// The library's functions this program uses, by their short names.
#define OSTRANDER_CFITSIO_FUNCTIONS(X)                                                            \
    X(ffdkopn) X(ffclos) X(ffgky) X(ffgkey) X(ffgidm) X(ffgisz) X(ffgpv)

struct Functions {
#define OSTRANDER_CFITSIO_MEMBER(name) decltype(&::name) name = nullptr;
    OSTRANDER_CFITSIO_FUNCTIONS(OSTRANDER_CFITSIO_MEMBER)
#undef OSTRANDER_CFITSIO_MEMBER
    decltype(&::ffgerr) ffgerr = nullptr;
};

// The table, loaded on the first call (thread-safe); nullptr when the
// library cannot be loaded.
const Functions* Loaded();

// Each function called through the table; the status, always the last
// argument, says kCfitsioMissing without the library.
#define OSTRANDER_CFITSIO_FORWARD(name)                                                           \
    template <class... Args> int name(Args... args) {                                             \
        if (const Functions* f = Loaded())                                                         \
            return f->name(args...);                                                               \
        int* status = std::get<sizeof...(Args) - 1>(std::tie(args...));                           \
        *status = kCfitsioMissing;                                                                 \
        return *status;                                                                            \
    }
OSTRANDER_CFITSIO_FUNCTIONS(OSTRANDER_CFITSIO_FORWARD)
#undef OSTRANDER_CFITSIO_FORWARD

// The words of a status (FLEN_STATUS bytes at most), kCfitsioMissing's too.
void ffgerr(int status, char* text);

} // namespace ostrander::cfitsio

#undef fits_open_diskfile
#undef fits_close_file
#undef fits_get_errstatus
#undef fits_read_key
#undef fits_read_keyword
#undef fits_get_img_dim
#undef fits_get_img_size
#undef fits_read_img
#define fits_open_diskfile ::ostrander::cfitsio::ffdkopn
#define fits_close_file ::ostrander::cfitsio::ffclos
#define fits_get_errstatus ::ostrander::cfitsio::ffgerr
#define fits_read_key ::ostrander::cfitsio::ffgky
#define fits_read_keyword ::ostrander::cfitsio::ffgkey
#define fits_get_img_dim ::ostrander::cfitsio::ffgidm
#define fits_get_img_size ::ostrander::cfitsio::ffgisz
#define fits_read_img ::ostrander::cfitsio::ffgpv
