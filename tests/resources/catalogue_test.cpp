// Checks the pictures, the icon and the sounds that the build embeds, straight
// from the files in the source tree: the manifest lists exactly the game's
// resources, every picture has its size, its double-size twin and a clean key
// colour, and every sound has the format and length that the sound bank plays.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef MELVORIA_SOURCE_DIR
#error "MELVORIA_SOURCE_DIR must name the source tree"
#endif

namespace {

const std::string kResources = std::string(MELVORIA_SOURCE_DIR) + "/resources/";

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

constexpr Rgb kKey{255, 204, 255};
constexpr Rgb kMenuKey{204, 153, 255};
constexpr Rgb kExportKey{254, 203, 254};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kSettingsGrey{222, 223, 222};
constexpr Rgb kTitleBandGrey{198, 199, 198};

// One row of the picture catalogue: small number, large twin (0 for none),
// the small picture's size, and its key colour for keyed pictures.
struct Picture {
    int small;
    int large;
    int width;
    int height;
    std::optional<Rgb> key;
    std::optional<Rgb> largeKey;
};

void PrintTo(const Picture& p, std::ostream* os) { *os << "picture " << p.small << "/" << p.large; }

Picture Opaque(int s, int l, int w, int h) { return {s, l, w, h, std::nullopt, std::nullopt}; }
Picture Keyed(int s, int l, int w, int h, Rgb key = kKey) { return {s, l, w, h, key, key}; }

const std::vector<Picture>& Catalogue() {
    static const std::vector<Picture> pictures = [] {
        std::vector<Picture> p = {
            // popup frame
            Opaque(166, 170, 240, 26), Opaque(167, 171, 4, 30), Opaque(168, 172, 4, 30), Opaque(169, 173, 240, 4),
            // play screen background
            Opaque(285, 308, 240, 76), Opaque(286, 309, 15, 320), Opaque(287, 310, 15, 320), Opaque(288, 311, 240, 15),
            // items
            Opaque(289, 313, 42, 45), Opaque(293, 319, 42, 45), Opaque(290, 314, 42, 45), Opaque(296, 320, 42, 45),
            Opaque(297, 321, 42, 45), Opaque(292, 316, 42, 45), Opaque(291, 315, 42, 45), Opaque(298, 322, 42, 45),
            // arrow buttons
            Opaque(302, 326, 42, 15), Opaque(303, 328, 42, 15), Opaque(330, 327, 42, 15),
            Opaque(299, 323, 42, 15), Opaque(300, 325, 42, 15), Opaque(329, 324, 42, 15),
            // corner icons
            Keyed(162, 163, 17, 17), Keyed(304, 312, 17, 17),
            // Spin All, MAKE SCORE, bet keys
            Opaque(305, 331, 52, 44), Opaque(306, 332, 52, 44), Opaque(307, 333, 52, 44),
            Opaque(403, 406, 39, 36), Opaque(404, 407, 39, 36), Opaque(405, 408, 39, 36),
            Opaque(409, 412, 68, 31), Opaque(410, 413, 34, 31), Opaque(411, 414, 34, 31),
            // match lines
            Keyed(351, 358, 210, 8), Keyed(350, 357, 168, 8), Keyed(349, 356, 126, 8),
            Keyed(348, 354, 126, 135), Keyed(347, 353, 126, 135), Keyed(346, 352, 8, 135),
            // banners and the cursor marker
            Keyed(359, 360, 122, 40), Keyed(401, 416, 176, 40), Keyed(402, 417, 176, 40), Keyed(439, 440, 6, 12),
            // main menu
            Opaque(418, 0, 240, 320), Keyed(421, 422, 220, 120, kMenuKey), Keyed(420, 423, 114, 138, kMenuKey),
            Keyed(419, 424, 70, 16, kMenuKey),
            // hi-score screen and name entry
            Opaque(365, 376, 84, 38), Opaque(367, 378, 84, 38), Opaque(366, 377, 148, 38),
            Opaque(369, 379, 24, 32), Opaque(370, 380, 24, 32), Opaque(371, 381, 24, 32),
            Opaque(372, 382, 24, 32), Opaque(373, 383, 24, 32), Opaque(374, 384, 24, 32),
            Opaque(375, 385, 50, 17), Opaque(400, 399, 62, 75),
            // settings and the help check box
            Opaque(275, 280, 4, 4), Opaque(276, 281, 4, 4), Opaque(277, 282, 4, 4), Opaque(278, 283, 4, 4),
            Opaque(279, 284, 17, 17), Keyed(255, 265, 19, 16), Keyed(256, 266, 19, 16),
            Opaque(259, 274, 20, 23), Opaque(264, 273, 12, 23), Opaque(263, 272, 12, 23), Opaque(262, 271, 12, 23),
            Opaque(260, 269, 113, 23), Opaque(261, 270, 13, 23),
            // About
            Opaque(165, 164, 103, 29),
        };
        // The export icon: its large twin has a key of its own.
        p.push_back({368, 386, 30, 32, kKey, kExportKey});
        return p;
    }();
    return pictures;
}

// Pictures that exist in the design but are never drawn: no artwork.
const std::set<int> kNeverDrawn = {257, 267, 258, 268, 153, 161};

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t U32(const std::vector<unsigned char>& d, size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (uint32_t(d[at + 3]) << 24);
}
uint16_t U16(const std::vector<unsigned char>& d, size_t at) { return uint16_t(d[at] | (d[at + 1] << 8)); }

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // top row first
    Rgb at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Reads the one layout the platform layer decodes: BITMAPINFOHEADER, BI_RGB,
// 24 bits, bottom-up, rows padded to four bytes. Any other layout fails the test.
Bitmap ReadBitmap(const std::string& path) {
    Bitmap bmp;
    const auto d = ReadFile(path);
    EXPECT_GE(d.size(), 54u) << path;
    if (d.size() < 54) return bmp;
    EXPECT_EQ(d[0], 'B') << path;
    EXPECT_EQ(d[1], 'M') << path;
    EXPECT_EQ(U32(d, 2), d.size()) << path << ": size field";
    EXPECT_EQ(U32(d, 14), 40u) << path << ": info header size";
    const auto w = int32_t(U32(d, 18));
    const auto h = int32_t(U32(d, 22));
    EXPECT_GT(h, 0) << path << ": must be bottom-up";
    EXPECT_EQ(U16(d, 26), 1) << path << ": planes";
    EXPECT_EQ(U16(d, 28), 24) << path << ": bits per pixel";
    EXPECT_EQ(U32(d, 30), 0u) << path << ": compression (BI_RGB)";
    const size_t offset = U32(d, 10);
    const size_t row = (size_t(w) * 3 + 3) & ~size_t(3);
    EXPECT_EQ(d.size(), offset + row * size_t(std::max(h, 0))) << path << ": pixel data size";
    if (w <= 0 || h <= 0 || d.size() < offset + row * size_t(h)) return bmp;
    bmp.width = w;
    bmp.height = h;
    bmp.pixels.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const size_t base = offset + size_t(h - 1 - y) * row;
        for (int x = 0; x < w; ++x) {
            const size_t p = base + size_t(x) * 3;
            bmp.pixels[size_t(y) * size_t(w) + size_t(x)] = {d[p + 2], d[p + 1], d[p]};
        }
    }
    return bmp;
}

std::string BitmapPath(int number) { return kResources + "bitmaps/" + std::to_string(number) + ".bmp"; }

int Distance(Rgb a, Rgb b) { return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)}); }

// Checks a keyed picture: it holds its key colour, something that is not the key,
// and no pixel that is a few steps away from the key (a blended pink fringe).
void ExpectCleanKey(const Bitmap& bmp, Rgb key, const std::string& what) {
    size_t keyed = 0, near = 0;
    for (const Rgb& c : bmp.pixels) {
        if (c == key) {
            ++keyed;
        } else if (Distance(c, key) <= 6) {
            if (near++ < 3) ADD_FAILURE() << what << ": pixel " << c << " is within 6 steps of key " << key;
        }
    }
    EXPECT_GT(keyed, 0u) << what << ": no transparent area in key colour " << key;
    EXPECT_LT(keyed, bmp.pixels.size()) << what << ": nothing but the key colour";
    EXPECT_EQ(near, 0u) << what << ": near-key pixels";
}

// ---------------------------------------------------------------------------
// Manifest

struct ManifestEntry {
    std::string type;
    std::string path;
};

std::map<int, ManifestEntry> ReadManifest() {
    std::map<int, ManifestEntry> entries;
    std::ifstream in(kResources + "manifest");
    EXPECT_TRUE(in.good()) << "resources/manifest is missing";
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int number = 0;
        ManifestEntry e;
        std::string extra;
        fields >> number >> e.type >> e.path;
        EXPECT_TRUE(fields && !(fields >> extra)) << "manifest line " << lineNo << " malformed: " << line;
        EXPECT_TRUE(entries.emplace(number, e).second) << "manifest lists " << number << " twice";
    }
    return entries;
}

TEST(Manifest, ListsEveryPictureSoundAndTheIconOnce) {
    const auto manifest = ReadManifest();
    std::map<int, ManifestEntry> expected;
    for (const Picture& p : Catalogue()) {
        expected[p.small] = {"BITMAP", "bitmaps/" + std::to_string(p.small) + ".bmp"};
        if (p.large) expected[p.large] = {"BITMAP", "bitmaps/" + std::to_string(p.large) + ".bmp"};
    }
    expected[425] = {"ICON", "icons/425.bmp"};
    for (int n = 441; n <= 452; ++n) expected[n] = {"WAVE", "sounds/" + std::to_string(n) + ".wav"};
    expected[3] = {"ACCELERATOR", "accelerators/3.bin"};
    ASSERT_EQ(expected.size(), 145u + 1u + 12u + 1u);  // the table above is the whole catalogue

    for (const auto& [number, e] : expected) {
        const auto it = manifest.find(number);
        ASSERT_NE(it, manifest.end()) << number << " is not in the manifest";
        EXPECT_EQ(it->second.type, e.type) << number;
        EXPECT_EQ(it->second.path, e.path) << number;
    }
    for (const auto& [number, e] : manifest) {
        EXPECT_TRUE(expected.count(number)) << "manifest lists " << number << ", which the game never loads";
        EXPECT_FALSE(kNeverDrawn.count(number)) << number;
        EXPECT_TRUE(std::ifstream(kResources + e.path).good()) << e.path << " is listed but missing";
    }
}

// ---------------------------------------------------------------------------
// Pictures

class PictureTest : public testing::TestWithParam<Picture> {};

TEST_P(PictureTest, SmallHasItsSizeAndTheTwinIsExactlyTwice) {
    const Picture& p = GetParam();
    const Bitmap small = ReadBitmap(BitmapPath(p.small));
    EXPECT_EQ(small.width, p.width) << p.small;
    EXPECT_EQ(small.height, p.height) << p.small;
    if (p.large) {
        const Bitmap large = ReadBitmap(BitmapPath(p.large));
        EXPECT_EQ(large.width, 2 * p.width) << p.large;
        EXPECT_EQ(large.height, 2 * p.height) << p.large;
    }
}

TEST_P(PictureTest, KeyedPicturesHaveACleanKeyAndOpaqueOnesNone) {
    const Picture& p = GetParam();
    for (const auto& [number, key] : {std::pair{p.small, p.key}, std::pair{p.large, p.largeKey}}) {
        if (!number) continue;
        const Bitmap bmp = ReadBitmap(BitmapPath(number));
        if (bmp.pixels.empty()) continue;
        const std::string what = "picture " + std::to_string(number);
        if (key) {
            ExpectCleanKey(bmp, *key, what);
        } else {
            // An opaque picture is copied as it is: a key-coloured area would show as pink.
            for (Rgb k : {kKey, kMenuKey, kExportKey}) {
                EXPECT_EQ(std::count(bmp.pixels.begin(), bmp.pixels.end(), k), 0) << what << " holds key " << k;
            }
        }
    }
}

// The large twin is the same drawing: shrunk by 2 it matches the small picture.
TEST_P(PictureTest, TwinShowsTheSameDrawing) {
    const Picture& p = GetParam();
    if (!p.large) return;
    const Bitmap small = ReadBitmap(BitmapPath(p.small));
    const Bitmap large = ReadBitmap(BitmapPath(p.large));
    if (small.width * 2 != large.width || small.height * 2 != large.height || small.pixels.empty()) {
        FAIL() << "sizes differ";
    }
    double diff = 0;
    size_t keyMismatch = 0, compared = 0;
    for (int y = 0; y < small.height; ++y) {
        for (int x = 0; x < small.width; ++x) {
            const Rgb s = small.at(x, y);
            int keyedInBlock = 0, r = 0, g = 0, b = 0, n = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const Rgb c = large.at(2 * x + dx, 2 * y + dy);
                    if (p.largeKey && c == *p.largeKey) {
                        ++keyedInBlock;
                    } else {
                        r += c.r, g += c.g, b += c.b, ++n;
                    }
                }
            }
            const bool smallKeyed = p.key && s == *p.key;
            if (smallKeyed != (keyedInBlock >= 2)) ++keyMismatch;
            if (!smallKeyed && n > 0) {
                diff += (std::abs(s.r - r / n) + std::abs(s.g - g / n) + std::abs(s.b - b / n)) / 3.0;
                ++compared;
            }
        }
    }
    const size_t total = small.pixels.size();
    EXPECT_LE(keyMismatch * 10, total) << p.small << "/" << p.large << ": transparent areas differ";
    ASSERT_GT(compared, 0u);
    EXPECT_LT(diff / double(compared), 16.0) << p.small << "/" << p.large << ": colours differ";
}

INSTANTIATE_TEST_SUITE_P(Catalogue, PictureTest, testing::ValuesIn(Catalogue()),
                         [](const testing::TestParamInfo<Picture>& info) {
                             // Appended, not `"P" + std::string` (a false -Wrestrict at -O3).
                             return std::string("P").append(std::to_string(info.param.small));
                         });

// Opaque pictures drawn over a known colour carry that colour in their corners,
// so no box shows around them.
TEST(Pictures, OpaqueSurroundingsMatchWhatLiesUnder) {
    const std::vector<std::pair<std::vector<int>, Rgb>> cases = {
        {{365, 376, 367, 378, 366, 377}, kBlack},                                   // hi-score titles
        {{369, 379, 370, 380, 371, 381, 372, 382, 373, 383, 374, 384}, kBlack},     // tabs
        {{375, 385}, kBlack},                                                        // reset button
        {{302, 326, 303, 328, 330, 327, 299, 323, 300, 325, 329, 324}, kBlack},     // arrow buttons
        {{400, 399}, kWhite},                                                        // trophy on the popup
        {{259, 274, 264, 273, 263, 272, 262, 271, 260, 269, 261, 270}, kSettingsGrey},
        {{279, 284}, kTitleBandGrey},                                                // settings close box
        {{165, 164}, kWhite},                                                        // About logo
    };
    for (const auto& [numbers, colour] : cases) {
        for (int n : numbers) {
            const Bitmap bmp = ReadBitmap(BitmapPath(n));
            if (bmp.pixels.empty()) continue;
            const int w = bmp.width - 1, h = bmp.height - 1;
            for (auto [x, y] : {std::pair{0, 0}, {w, 0}, {0, h}, {w, h}}) {
                EXPECT_EQ(bmp.at(x, y), colour) << "picture " << n << " corner " << x << "," << y;
            }
        }
    }
}

// The controls printed on the bottom panel sit on the panel's own metal: every
// control picture's corner equals the panel pixel it is copied over.
TEST(Pictures, PanelControlsBlendIntoThePanel) {
    struct Control {
        int small, large, x, y;
    };
    const Control controls[] = {{305, 331, 164, 24}, {306, 332, 164, 24}, {307, 333, 164, 24},
                                {403, 406, 23, 26},  {404, 407, 23, 26},  {405, 408, 23, 26},
                                {409, 412, 80, 29},  {410, 413, 80, 29},  {411, 414, 114, 29}};
    for (int scale : {1, 2}) {
        const Bitmap panel = ReadBitmap(BitmapPath(scale == 1 ? 285 : 308));
        ASSERT_FALSE(panel.pixels.empty());
        for (const Control& c : controls) {
            const Bitmap bmp = ReadBitmap(BitmapPath(scale == 1 ? c.small : c.large));
            ASSERT_FALSE(bmp.pixels.empty());
            const int w = bmp.width - 1, h = bmp.height - 1;
            for (auto [x, y] : {std::pair{0, 0}, {w, 0}, {0, h}, {w, h}}) {
                EXPECT_LE(Distance(bmp.at(x, y), panel.at(c.x * scale + x, c.y * scale + y)), 2)
                    << "picture " << (scale == 1 ? c.small : c.large) << " corner " << x << "," << y;
            }
        }
    }
}

// While a matched cell takes its new item, only columns 2 to 39 of the two items
// slide; the outer columns stay as they were. So every item must leave its
// outer columns exactly as the blank cell has them.
TEST(Pictures, ItemsKeepTheCellsOuterColumnsUntouched) {
    for (const auto& [blank, items] : {std::pair{289, std::vector{293, 290, 296, 297, 292, 291, 298}},
                                       std::pair{313, std::vector{319, 314, 320, 321, 316, 315, 322}}}) {
        const Bitmap empty = ReadBitmap(BitmapPath(blank));
        ASSERT_FALSE(empty.pixels.empty());
        const int scale = empty.width / 42;
        for (int item : items) {
            const Bitmap bmp = ReadBitmap(BitmapPath(item));
            ASSERT_EQ(bmp.width, empty.width);
            ASSERT_EQ(bmp.height, empty.height);
            int differing = 0;
            for (int y = 0; y < bmp.height; ++y) {
                for (int x = 0; x < bmp.width; ++x) {
                    const bool outer = x < 2 * scale || x >= 40 * scale;
                    if (outer && !(bmp.at(x, y) == empty.at(x, y))) ++differing;
                }
            }
            EXPECT_EQ(differing, 0) << "item " << item << " draws into the cell's outer columns";
        }
    }
}

TEST(Icon, IsA48PixelPictureKeyedWithTheUsualKey) {
    const Bitmap icon = ReadBitmap(kResources + "icons/425.bmp");
    EXPECT_EQ(icon.width, 48);
    EXPECT_EQ(icon.height, 48);
    ExpectCleanKey(icon, kKey, "icon 425");
}

// ---------------------------------------------------------------------------
// Sounds

struct Sound {
    int soundId;
    int resource;
    uint32_t rate;
    size_t played;
};

void PrintTo(const Sound& s, std::ostream* os) { *os << "sound " << s.soundId << " (" << s.resource << ")"; }

// SoundId order; sound 1 plays every sample, the others leave out their last 1200 bytes.
const Sound kSounds[] = {
    {1, 443, 22050, 9168},  {2, 444, 22050, 5896},  {3, 442, 11025, 16116}, {4, 445, 11025, 6144},
    {5, 441, 8000, 13034},  {6, 446, 22050, 2080},  {7, 447, 22050, 5984},  {8, 448, 22050, 5176},
    {9, 449, 22050, 5952},  {10, 450, 22050, 6128}, {11, 451, 22050, 5968}, {12, 452, 22050, 4008},
};

std::vector<unsigned char> ReadWave(int resource) {
    return ReadFile(kResources + "sounds/" + std::to_string(resource) + ".wav");
}

size_t SizeLeftUnplayed(int soundId) { return soundId == 1 ? 0 : 1200; }

class SoundTest : public testing::TestWithParam<Sound> {};

TEST_P(SoundTest, IsCanonicalEightBitMonoPcmOfTheRightSize) {
    const Sound& s = GetParam();
    const auto d = ReadWave(s.resource);
    ASSERT_EQ(d.size(), s.played + 44 + SizeLeftUnplayed(s.soundId)) << "sound " << s.resource;
    EXPECT_EQ(std::string(d.begin(), d.begin() + 4), "RIFF");
    EXPECT_EQ(U32(d, 4), d.size() - 8);
    EXPECT_EQ(std::string(d.begin() + 8, d.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(U32(d, 16), 16u) << "format chunk size";
    EXPECT_EQ(U16(d, 20), 1) << "PCM";
    EXPECT_EQ(U16(d, 22), 1) << "mono";
    EXPECT_EQ(U32(d, 24), s.rate) << "samples per second";
    EXPECT_EQ(U32(d, 28), s.rate) << "bytes per second";
    EXPECT_EQ(U16(d, 32), 1) << "block alignment";
    EXPECT_EQ(U16(d, 34), 8) << "bits per sample";
    EXPECT_EQ(std::string(d.begin() + 36, d.begin() + 40), "data");
    EXPECT_EQ(U32(d, 40), d.size() - 44) << "samples start at byte 44";
}

// What is played is heard, ends quietly (no click when the game cuts it), and
// the tail that is never played is silence.
TEST_P(SoundTest, PlayedPartIsCompleteAndTheTailSilent) {
    const Sound& s = GetParam();
    const auto d = ReadWave(s.resource);
    ASSERT_EQ(d.size(), s.played + 44 + SizeLeftUnplayed(s.soundId));
    int peak = 0;
    for (size_t i = 44; i < 44 + s.played; ++i) peak = std::max(peak, std::abs(int(d[i]) - 128));
    EXPECT_GT(peak, 60) << "sound " << s.resource << " is nearly silent";
    for (size_t i = 44 + s.played - 8; i < 44 + s.played; ++i) {
        EXPECT_LE(std::abs(int(d[i]) - 128), 6) << "sound " << s.resource << " is cut off at byte " << i;
    }
    for (size_t i = 44 + s.played; i < d.size(); ++i) {
        ASSERT_LE(std::abs(int(d[i]) - 128), 2) << "sound " << s.resource << " not silent at byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Bank, SoundTest, testing::ValuesIn(kSounds),
                         [](const testing::TestParamInfo<Sound>& info) {
                             return "Sound" + std::to_string(info.param.soundId);
                         });

// Crossings of the middle line (with a little hysteresis) per second between
// two times: twice the pitch of a clean tone.
double CrossingsPerSecond(int resource, double from, double to) {
    const auto d = ReadWave(resource);
    const uint32_t rate = U32(d, 24);
    const size_t a = 44 + size_t(from * rate), b = std::min(d.size(), 44 + size_t(to * rate));
    int crossings = 0;
    int side = 0;
    for (size_t i = a; i < b; ++i) {
        const int v = int(d[i]) - 128;
        const int now = v > 3 ? 1 : (v < -3 ? -1 : 0);
        if (now != 0 && side != 0 && now != side) ++crossings;
        if (now != 0) side = now;
    }
    return crossings / (double(b - a) / rate);
}

TEST(Sounds, MatchSoundsRiseWithTheCombo) {
    // Resources 447..451 are comboLevel 1..5; compare the opening notes.
    double previous = 0;
    for (int resource = 447; resource <= 451; ++resource) {
        const double pitch = CrossingsPerSecond(resource, 0.005, 0.040);
        EXPECT_GT(pitch, previous * 1.1) << "sound " << resource << " does not rise above the combo before";
        previous = pitch;
    }
}

TEST(Sounds, GameOverFalls) {
    const double start = CrossingsPerSecond(442, 0.02, 0.20);
    const double end = CrossingsPerSecond(442, 0.75, 1.00);
    EXPECT_GT(start, end * 1.3);
}

TEST(Sounds, ReelClickIsShort) {
    const Sound& click = kSounds[5];  // SoundId 6: bet keys and reels coming to rest
    ASSERT_EQ(click.resource, 446);
    const auto d = ReadWave(446);
    // It is heard for less than a tenth of a second: it is played at the end
    // of every reel's spin, five times in quick succession.
    int lastLoud = 0;
    for (size_t i = 44; i < 44 + click.played; ++i) {
        if (std::abs(int(d[i]) - 128) > 8) lastLoud = int(i - 44);
    }
    EXPECT_LT(double(lastLoud) / click.rate, 0.09);
}

}  // namespace
