#include "formats/FitsFile.h"

#include <fitsio.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <memory>

namespace ostrander {

namespace {

std::string StatusText(int status) {
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    return std::string("FITS: ") + text;
}

// 2880-byte records enough for the header and the data, so that cfitsio
// writes the file without growing its block.
std::size_t ExpectedSize(const FitsImage& image, long long count) {
    const std::size_t cards = image.keys.size() + image.comments.size() + 16;
    const auto records = [](std::size_t bytes) { return (bytes + 2879) / 2880 * 2880; };
    return records(cards * 80) + records(static_cast<std::size_t>(count) * sizeof(double));
}

} // namespace

FitsMemory::~FitsMemory() {
    std::free(data_);
}

bool FitsBytes(const FitsImage& image, std::string& bytes, std::string& error) {
    FitsMemory memory;
    if (!FitsBytes(image, memory, error))
        return false;
    bytes.assign(memory.View());
    return true;
}

bool FitsBytes(const FitsImage& image, FitsMemory& memory, std::string& error) {
    const long long count =
        static_cast<long long>(image.columns) * image.rows * std::max(image.planes, 1);
    if (image.columns < 1 || image.rows < 1 || image.planes < 1 ||
        static_cast<long long>(image.values.size()) != count) {
        error = "FITS: the image sizes do not match its values";
        return false;
    }
    std::free(memory.data_);
    memory.length_ = 0;
    memory.size_ = ExpectedSize(image, count);
    memory.data_ = std::malloc(memory.size_);
    if (!memory.data_) {
        memory.size_ = 0;
        error = "FITS: out of memory";
        return false;
    }
    fitsfile* file = nullptr;
    int status = 0;
    fits_create_memfile(&file, &memory.data_, &memory.size_, 2880 * 4, std::realloc, &status);
    long axes[3] = {image.columns, image.rows, image.planes};
    fits_create_img(file, DOUBLE_IMG, image.planes > 1 ? 3 : 2, axes, &status);
    for (const FitsKey& key : image.keys) {
        char* comment = const_cast<char*>(key.comment.c_str());
        char* name = const_cast<char*>(key.name.c_str());
        if (const auto* d = std::get_if<double>(&key.value)) {
            double v = *d;
            fits_update_key(file, TDOUBLE, name, &v, comment, &status);
        } else if (const auto* l = std::get_if<long long>(&key.value)) {
            LONGLONG v = *l;
            fits_update_key(file, TLONGLONG, name, &v, comment, &status);
        } else if (const auto* b = std::get_if<bool>(&key.value)) {
            int v = *b ? 1 : 0;
            fits_update_key(file, TLOGICAL, name, &v, comment, &status);
        } else {
            // Long strings are cut to what one card holds.
            std::string text = std::get<std::string>(key.value).substr(0, 68);
            fits_update_key(file, TSTRING, name, text.data(), comment, &status);
        }
    }
    for (const std::string& line : image.comments)
        fits_write_comment(file, line.c_str(), &status);
    fits_write_date(file, &status);
    fits_write_img(file, TDOUBLE, 1, count, const_cast<double*>(image.values.data()), &status);
    // Closing flushes the file into the memory block; its length is the
    // position of the end of the last HDU.
    fits_flush_file(file, &status);
    LONGLONG headStart = 0, dataStart = 0, dataEnd = 0;
    fits_get_hduaddrll(file, &headStart, &dataStart, &dataEnd, &status);
    int closeStatus = 0;
    fits_close_file(file, &closeStatus);
    if (status || closeStatus) {
        error = StatusText(status ? status : closeStatus);
        return false;
    }
    // The data unit fills whole 2880-byte records.
    const auto length = static_cast<std::size_t>((dataEnd + 2879) / 2880 * 2880);
    if (length > memory.size_) {
        error = "FITS: the file is shorter than its data";
        return false;
    }
    memory.length_ = length;
    return true;
}

} // namespace ostrander
