#include "formats/FitsFile.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace ostrander {

namespace {

constexpr std::size_t kCard = 80;
constexpr std::size_t kRecord = 2880;

// The header as 80-column cards.
class Header {
public:
    // "NAME    = " followed by a value: numbers and logicals right-aligned
    // in columns 11 to 30, strings from column 11; " / comment" after it
    // (strings then padded to column 30), all cut at column 80.
    void Key(const std::string& name, const std::string& value, bool quoted,
             const std::string& comment) {
        std::string card = name;
        card.resize(8, ' ');
        card += "= ";
        if (!quoted && value.size() < 20)
            card.append(20 - value.size(), ' ');
        card += value;
        if (!comment.empty()) {
            if (card.size() < 30)
                card.resize(30, ' ');
            if (card.size() < kCard - 3)
                card += " / " + comment;
        }
        Put(name, card);
    }
    // COMMENT cards of 72 letters each (none for an empty text).
    void Comment(std::string_view text) {
        while (!text.empty()) {
            Put({}, "COMMENT " + std::string(text.substr(0, 72)));
            text.remove_prefix(std::min<std::size_t>(72, text.size()));
        }
    }
    // The cards, END, and blanks to whole records.
    std::string Bytes() const {
        std::string bytes = cards_ + Padded("END");
        bytes.resize((bytes.size() + kRecord - 1) / kRecord * kRecord, ' ');
        return bytes;
    }

private:
    static std::string Padded(std::string card) {
        card.resize(kCard, ' ');
        return card;
    }
    // A keyword given again replaces its card where it stands.
    void Put(const std::string& name, const std::string& card) {
        if (!name.empty())
            for (std::size_t at = 0; at < cards_.size(); at += kCard)
                if (std::string_view(cards_).substr(at, 10) == Padded(name).substr(0, 8) + "= ") {
                    cards_.replace(at, kCard, Padded(card));
                    return;
                }
        cards_ += Padded(card);
    }
    std::string cards_;
};

// A keyword of up to 8 upper-case letters, digits, '-' and '_'.
bool ValidKeyword(const std::string& name) {
    if (name.empty() || name.size() > 8)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

// A double as cfitsio words it: 15 significant digits, with a decimal
// point always ("51.", "1.0E-10").
bool RealText(double value, std::string& text) {
    if (!std::isfinite(value))
        return false;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    if (!std::strchr(buffer, '.') && std::strchr(buffer, 'E'))
        std::snprintf(buffer, sizeof buffer, "%.1E", value);
    text = buffer;
    if (text.find('.') == std::string::npos && text.find('E') == std::string::npos)
        text += '.';
    return true;
}

// A string value: in quotes, a quote doubled, at least 8 letters inside.
std::string QuotedText(const std::string& value) {
    std::string inside;
    for (const char c : value) {
        inside += c;
        if (c == '\'')
            inside += '\'';
    }
    if (inside.size() < 8)
        inside.resize(8, ' ');
    return "'" + inside.substr(0, 68) + "'";
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return text;
}

bool HeaderBytes(const FitsImage& image, std::string& bytes, std::string& error) {
    if (image.columns < 1 || image.rows < 1 || image.planes < 1) {
        error = "FITS: an image needs at least one column, row and plane";
        return false;
    }
    Header header;
    const bool cube = image.planes > 1;
    header.Key("SIMPLE", "T", false, "file does conform to FITS standard");
    header.Key("BITPIX", "-64", false, "number of bits per data pixel");
    header.Key("NAXIS", cube ? "3" : "2", false, "number of data axes");
    const int axes[3] = {image.columns, image.rows, image.planes};
    for (int k = 0; k < (cube ? 3 : 2); ++k)
        header.Key("NAXIS" + std::to_string(k + 1), std::to_string(axes[k]), false,
                   "length of data axis " + std::to_string(k + 1));
    header.Key("EXTEND", "T", false, "FITS dataset may contain extensions");
    header.Comment("  FITS (Flexible Image Transport System) format is defined in 'Astronomy");
    header.Comment("  and Astrophysics', volume 376, page 359; bibcode: 2001A&A...376..359H");
    for (const FitsKey& key : image.keys) {
        if (!ValidKeyword(key.name)) {
            error = "FITS: \"" + key.name + "\" is not a keyword";
            return false;
        }
        if (const auto* d = std::get_if<double>(&key.value)) {
            std::string text;
            if (!RealText(*d, text)) {
                error = "FITS: " + key.name + " is not a finite number";
                return false;
            }
            header.Key(key.name, text, false, key.comment);
        } else if (const auto* l = std::get_if<long long>(&key.value)) {
            header.Key(key.name, std::to_string(*l), false, key.comment);
        } else if (const auto* b = std::get_if<bool>(&key.value)) {
            header.Key(key.name, *b ? "T" : "F", false, key.comment);
        } else {
            // Long strings are cut to what one card holds.
            header.Key(key.name, QuotedText(std::get<std::string>(key.value).substr(0, 68)), true,
                       key.comment);
        }
    }
    for (const std::string& line : image.comments)
        header.Comment(line);
    header.Key("DATE", "'" + UtcNow() + "'", true, "file creation date (YYYY-MM-DDThh:mm:ss UT)");
    bytes = header.Bytes();
    return true;
}

// Doubles as FITS data: big-endian IEEE.
void AppendBigEndian(const double* values, std::size_t count, std::string& bytes) {
    const std::size_t at = bytes.size();
    bytes.resize(at + count * sizeof(double));
    char* out = bytes.data() + at;
    for (std::size_t k = 0; k < count; ++k) {
        std::uint64_t bits = std::bit_cast<std::uint64_t>(values[k]);
        if constexpr (std::endian::native == std::endian::little)
            bits = __builtin_bswap64(bits);
        std::memcpy(out + k * sizeof(double), &bits, sizeof bits);
    }
}

// Zeros after the data to whole records.
std::size_t FillAfter(std::size_t dataBytes) {
    return (kRecord - dataBytes % kRecord) % kRecord;
}

} // namespace

bool FitsBytes(const FitsImage& image, std::string& bytes, std::string& error) {
    const long long count =
        static_cast<long long>(image.columns) * image.rows * std::max(image.planes, 1);
    if (image.columns < 1 || image.rows < 1 || image.planes < 1 ||
        static_cast<long long>(image.values.size()) != count) {
        error = "FITS: the image sizes do not match its values";
        return false;
    }
    if (!HeaderBytes(image, bytes, error))
        return false;
    const std::size_t data = image.values.size() * sizeof(double);
    bytes.reserve(bytes.size() + data + FillAfter(data));
    AppendBigEndian(image.values.data(), image.values.size(), bytes);
    bytes.append(FillAfter(data), '\0');
    return true;
}

bool FitsInPieces(const FitsImage& image, const FitsPlane& plane,
                  const std::function<bool(std::string_view)>& sink, std::string& error) {
    std::string bytes;
    if (!HeaderBytes(image, bytes, error))
        return false;
    if (!sink(bytes))
        return false;
    const std::size_t count = static_cast<std::size_t>(image.columns) * image.rows;
    std::vector<double> values;
    for (int p = 0; p < image.planes; ++p) {
        values.assign(count, 0.0);
        plane(p, values);
        if (values.size() != count) {
            error = "FITS: a plane of the image is not columns x rows values";
            return false;
        }
        bytes.clear();
        AppendBigEndian(values.data(), count, bytes);
        if (!sink(bytes))
            return false;
    }
    const std::string fill(FillAfter(count * sizeof(double) * image.planes), '\0');
    return fill.empty() || sink(fill);
}

} // namespace ostrander
