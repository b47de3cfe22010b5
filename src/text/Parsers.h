// Small parsers shared by the tool pages: slash positions in URLs, hexadecimal and HTML colour
// values, the dotted-quad test, and the pixel size of JPEG, PNG and GIF files read from their headers.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Position (1-based) of the "/" that ends the host of "scheme://host/..."; 0 when the text is
// shorter than 9 characters or has no such slash. A text without a scheme is searched from
// position 8 on.
int PosAfterHost(const std::string &Url);

// Position (1-based) of the last "/", 0 when there is none.
int LastSlashPos(const std::string &S);

// Hexadecimal digits of either case read as a number; any other character resets the value to
// 0 and the scan goes on. Long input wraps at 32 bits instead of overflowing.
int HexToInt(const std::string &S);

// "#RRGGBB" (cut at "}", ";" or "{") as the colour value red + green*256 + blue*65536; "#RGB"
// is the short form of "#RRGGBB"; a pair that is not hexadecimal counts 0; -1 for an empty value.
int HtmlColorToColorDef(const std::string &S);

// False only for a dotted-quad IPv4 address whose four parts are 0..255 without leading zeros
// (the first part may not begin with "0" at all).
bool IsInvalidIPAddress(const std::string &S);

struct ImageSize {
    uint16_t Width = 0;
    uint16_t Height = 0;
    bool operator==(const ImageSize &) const = default;
};

// Size from the first start-of-frame header (baseline, progressive and the other SOF kinds);
// nothing when the file cannot be read, is not a JPEG or ends before a frame header.
std::optional<ImageSize> GetJpegSize(const std::string &FileName);
// Size from the IHDR chunk (low 16 bits of each dimension); nothing unless the signature matches
// and the header is complete.
std::optional<ImageSize> GetPngSize(const std::string &FileName);
// Size of the first image descriptor, found by walking the extension blocks; nothing when there
// is none.
std::optional<ImageSize> GetGifSize(const std::string &FileName);
