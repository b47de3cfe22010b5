#include "text/Parsers.h"

#include "text/JCode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes operator+(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("vk-parsers-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes the bytes and returns the file's path (ASCII names only).
    std::string write(const std::string &name, const Bytes &b)
    {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char *>(b.data()),
                                                 static_cast<std::streamsize>(b.size()));
        return p.string();
    }

    fs::path dir_;
};

// A JPEG start: SOI, then an APP0 "JFIF" segment and a small quantisation table segment.
Bytes jpegHead()
{
    return {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0,
            0xFF, 0xDB, 0x00, 0x05, 0x00, 0x01, 0x02};
}

Bytes sof(unsigned char marker, uint16_t w, uint16_t h)
{
    return {0xFF, marker, 0x00, 0x11, 0x08, static_cast<unsigned char>(h >> 8), static_cast<unsigned char>(h),
            static_cast<unsigned char>(w >> 8), static_cast<unsigned char>(w), 0x03, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
}

} // namespace

TEST(Parsers, PosAfterHost)
{
    const struct {
        const char *url;
        int pos;
    } cases[] = {
        {"http://a/b", 9},
        {"https://a/b", 10},           // the slash after the host, not the second of "//"
        {"https://www.example.jp/x/y", 23},
        {"http://host", 0},
        {"12345678", 0},
        {"abcdefgh/x", 9}, // no scheme: the first slash from position 8
        {"", 0},
    };
    for (const auto &c : cases) EXPECT_EQ(PosAfterHost(c.url), c.pos) << c.url;
    EXPECT_EQ(LastSlashPos("http://a/b/c"), 11);
    EXPECT_EQ(LastSlashPos("abc"), 0);
}

TEST(Parsers, HexToInt)
{
    const struct {
        const char *s;
        int v;
    } cases[] = {
        {"1F", 31}, {"1f", 31}, {"1G", 0}, {"G1", 1}, {"", 0}, {"00", 0}, {"ff", 255}, {"FFFFFFFF", -1},
        // Wraps at 32 bits instead of overflowing (the sanitizer build catches the latter).
        {"123456789ABCDEF0", static_cast<int>(0x9ABCDEF0u)},
    };
    for (const auto &c : cases) EXPECT_EQ(HexToInt(c.s), c.v) << c.s;
}

TEST(Parsers, HtmlColorToColorDef)
{
    const struct {
        const char *s;
        int v;
    } cases[] = {
        {"#FF0000", 255},
        {"#00ff00;", 0xFF00},
        {"#0000FF}", 0xFF0000},
        {"#fff", 0xFFFFFF},                 // the short form is white
        {"#f00", 255},
        {"fff", 15 * 256 + 255 * 65536},    // without "#" it is padded: 000fff
        {"#12345678", 0x12 + 0x34 * 256 + 0x56 * 65536},
        {"#zz00ff", 0xFF0000},              // a pair that is not hexadecimal counts 0
        {"#1g2233", 0x22 * 256 + 0x33 * 65536},
        {" #102030 ", 0x10 + 0x20 * 256 + 0x30 * 65536},
        {"", -1},
        {"#", -1},
        {"{color", -1},
        {";", -1},
    };
    for (const auto &c : cases) EXPECT_EQ(HtmlColorToColorDef(c.s), c.v) << c.s;
}

TEST(Parsers, IsInvalidIPAddress)
{
    for (const char *ok : {"192.168.0.1", "10.0.0.0", "255.255.255.255", "1.2.3.4", "8.8.8.8"})
        EXPECT_FALSE(IsInvalidIPAddress(ok)) << ok;
    for (const char *bad : {"256.1.1.1", "1.2.3.256", "01.2.3.4", "1.02.3.4", "1.2.3.04", "1.2.00.4", "1..2.3",
                            "1.2.3", "1.2.3.4.", "1.2.3.4.5", "0.1.2.3", "1.2.3.a", " 1.2.3.4", "", "1234.1.1.1",
                            "1.2.3.99999999999999999999"})
        EXPECT_TRUE(IsInvalidIPAddress(bad)) << bad;
}

TEST_F(ImageFiles, JpegFrameHeaders)
{
    // Baseline, extended and progressive frames; fill bytes and stand-alone markers before them.
    EXPECT_EQ(GetJpegSize(write("base.jpg", jpegHead() + sof(0xC0, 640, 480))), (ImageSize{640, 480}));
    EXPECT_EQ(GetJpegSize(write("ext.jpg", jpegHead() + sof(0xC1, 1, 2))), (ImageSize{1, 2}));
    EXPECT_EQ(GetJpegSize(write("prog.jpg", jpegHead() + sof(0xC2, 1024, 768))), (ImageSize{1024, 768}));
    EXPECT_EQ(GetJpegSize(write("fill.jpg", jpegHead() + Bytes{0xFF, 0xFF, 0xFF, 0xD0} + sof(0xC0, 300, 200))),
              (ImageSize{300, 200}));
    // A DHT segment (C4) sits in the SOF range but is not a frame.
    const Bytes dht{0xFF, 0xC4, 0x00, 0x04, 0x00, 0x00};
    EXPECT_EQ(GetJpegSize(write("dht.jpg", jpegHead() + dht + sof(0xC0, 16, 8))), (ImageSize{16, 8}));
}

TEST_F(ImageFiles, JpegWithoutFrameGivesNothing)
{
    const Bytes sof0 = sof(0xC0, 640, 480);
    const std::vector<std::pair<std::string, Bytes>> files = {
        // A segment length below 2 would make a reader stand still or step back.
        {"len0.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x00} + sof0},
        {"len1.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01} + sof0},
        {"cut-in-sof.jpg", jpegHead() + Bytes(sof0.begin(), sof0.begin() + 7)},
        {"cut-in-seg.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x10, 0x00, 1, 2, 3}},
        {"no-ff.jpg", jpegHead() + Bytes{0x12} + sof0},
        {"eoi.jpg", jpegHead() + Bytes{0xFF, 0xD9} + sof0},
        {"png.jpg", Bytes{0x89, 'P', 'N', 'G'}},
        {"empty.jpg", Bytes{}},
    };
    for (const auto &[name, bytes] : files) EXPECT_FALSE(GetJpegSize(write(name, bytes))) << name;
    EXPECT_FALSE(GetJpegSize((dir_ / "missing.jpg").string()));
}

TEST_F(ImageFiles, Png)
{
    const Bytes sig{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    // IHDR: length, type, width 0x00010280 (low half 640), height 480.
    const Bytes ihdr{0, 0, 0, 13, 'I', 'H', 'D', 'R', 0x00, 0x01, 0x02, 0x80, 0, 0, 0x01, 0xE0, 8, 6, 0, 0, 0};
    EXPECT_EQ(GetPngSize(write("a.png", sig + ihdr)), (ImageSize{640, 480}));
    EXPECT_FALSE(GetPngSize(write("short.png", sig + Bytes(ihdr.begin(), ihdr.begin() + 12))));
    EXPECT_FALSE(GetPngSize(write("gif.png", Bytes{'G', 'I', 'F', '8', '9', 'a'} + ihdr + ihdr)));
    EXPECT_FALSE(GetPngSize((dir_ / "missing.png").string()));
}

TEST_F(ImageFiles, GifWalksExtensionBlocks)
{
    // Logical screen 100 x 50 with a global colour table of 2 entries (flag 0x80, size bits 0).
    const Bytes head{'G', 'I', 'F', '8', '9', 'a', 100, 0, 50, 0, 0x80, 0, 0};
    const Bytes gct{0, 0, 0, 0x2C, 0x2C, 0x2C};
    // Graphic control extension whose delay and transparent index are 0x2C.
    const Bytes gce{0x21, 0xF9, 0x04, 0x01, 0x2C, 0x00, 0x2C, 0x00};
    const Bytes comment{0x21, 0xFE, 0x05, 'a', ',', 'b', ',', 'c', 0x00};
    const Bytes netscape{0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                         0x03, 0x01, 0x2C, 0x00, 0x00};
    // The first image: at 0,0, 33 x 22, no local table, then image data start.
    const Bytes image{0x2C, 0, 0, 0, 0, 33, 0, 22, 0, 0x00, 0x02};

    EXPECT_EQ(GetGifSize(write("ext.gif", head + gct + gce + comment + netscape + image)), (ImageSize{33, 22}));
    EXPECT_EQ(GetGifSize(write("plain.gif", Bytes{'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0, 0, 0} + image)),
              (ImageSize{33, 22}));
    EXPECT_FALSE(GetGifSize(write("cut-ext.gif", head + gct + Bytes(gce.begin(), gce.begin() + 5))));
    EXPECT_FALSE(GetGifSize(write("cut-desc.gif", head + gct + Bytes(image.begin(), image.begin() + 6))));
    EXPECT_FALSE(GetGifSize(write("trailer.gif", head + gct + Bytes{0x3B} + image)));
    EXPECT_FALSE(GetGifSize(write("html.gif", Bytes{'<', 'h', 't', 'm', 'l', '>', ',', ',', ',', ',', ',', ',', ',',
                                                    ',', ',', ',', ',', ','})));
    EXPECT_FALSE(GetGifSize(""));
    EXPECT_FALSE(GetGifSize((dir_ / "missing.gif").string()));
}

TEST_F(ImageFiles, ShiftJisFileName)
{
    // "画像.png" in Shift_JIS; on disk the name is UTF-8.
    const std::string sjisName = "\x89\xE6\x91\x9C.png";
    const Bytes png = Bytes{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A} +
                      Bytes{0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 7, 0, 0, 0, 9, 8, 6, 0, 0, 0};
    write(SjisToUtf8(sjisName), png);
    EXPECT_EQ(GetPngSize((dir_ / "").string() + sjisName), (ImageSize{7, 9}));
}
