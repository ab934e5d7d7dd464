// artgen: draws every bitmap SCRWARPVUE ships, and its icon, from code.
//
//   artgen OUTDIR [--contact-sheet FILE.ppm] [--icon-preview FILE.pam] [--report]
//
// writes OUTDIR/bitmaps/<NAME>.bmp (8-bit, one shared 256-colour palette), OUTDIR/scrwarpvue.ico and the
// icon as PNG for desktop menus, OUTDIR/icons/scrwarpvue-32.png and -128.png (four times as large).
// The output is byte-for-byte reproducible: there is no randomness except integer hashing, and the
// floating-point work uses only +, -, *, /, sqrt and floor (sine and arctangent are computed here), so
// the result does not depend on the C library's maths routines.
//
// This file is the program itself: the command line, the list of bitmaps with their sizes, the checks
// on every picture, the header of facts for the code, and writing the files. The drawing is in the
// headers beside it, one for each kind of picture and for the maths and colours they share.

#include "fire.h"
#include "poses.h"
#include "previews.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

void writeFile(const std::filesystem::path &path, const std::vector<uint8_t> &bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    require(f.good(), "could not write " + path.string());
}

struct Expected {
    const char *name;
    int w, h;
};
// Every bitmap the saver loads, with its exact size.
const Expected kExpected[] = {
    {"SOK-TAN00", 60, 78},   {"SOK-TAN01", 60, 78},   {"FLY-01", 46, 66},       {"FLY-02", 46, 66},
    {"FLY-03", 46, 57},      {"FLY-04", 46, 57},      {"FLY-05", 41, 49},       {"FLY-06", 41, 49},
    {"FLY-07", 67, 41},      {"FLY-08", 67, 41},      {"FLY-09", 41, 36},       {"DMY-00", 1, 1},
    {"OPEN-01", 49, 43},     {"OPEN-02", 49, 49},     {"OPEN-03", 49, 56},      {"OPEN-04", 49, 62},
    {"OPEN-05", 56, 66},     {"TATU-01", 55, 72},     {"TATU-02", 55, 76},      {"RIGH-01", 55, 76},
    {"RIGH-02", 55, 76},     {"RIGH-03", 55, 76},     {"RIGH-04", 55, 76},      {"LEFT-01", 55, 76},
    {"LEFT-02", 55, 76},     {"LEFT-03", 55, 76},     {"LEFT-04", 55, 76},      {"TEBURI-01", 53, 77},
    {"WARAI-01", 55, 75},    {"MUKUL-01", 55, 76},    {"MUKUL-02", 49, 75},     {"MUKUL-03", 42, 76},
    {"MUKUL-04", 36, 76},    {"MUKUR-01", 55, 76},    {"MUKUR-02", 49, 75},     {"MUKUR-03", 42, 76},
    {"MUKUR-04", 36, 76},    {"GENKIL-01", 46, 75},   {"GENKIL-02", 43, 75},    {"GENKIR-01", 46, 75},
    {"GENKIR-02", 43, 75},   {"TENTOL-01", 73, 69},   {"TENTOL-02", 84, 49},    {"TENTOL-03", 91, 49},
    {"TENTOL-04", 84, 50},   {"TENTOL-05", 84, 51},   {"TENTOL-06", 89, 54},    {"TENTOL-07", 90, 53},
    {"TENTOL-08", 102, 57},  {"TENTOL-09", 62, 72},   {"TENTOL-10", 55, 65},    {"TENTOL-11", 55, 66},
    {"TENTOR-01", 73, 69},   {"TENTOR-02", 84, 49},   {"TENTOR-03", 91, 49},    {"TENTOR-04", 84, 50},
    {"TENTOR-05", 84, 51},   {"TENTOR-06", 89, 54},   {"TENTOR-07", 90, 53},    {"TENTOR-08", 102, 57},
    {"TENTOR-09", 62, 72},   {"TENTOR-10", 55, 65},   {"TENTOR-11", 55, 66},    {"NERU-01", 55, 66},
    {"NERU-02", 56, 66},     {"NERU-03", 48, 66},     {"XHONOO-BK1", 275, 317}, {"XHONOO-BK2", 275, 317},
    {"XHONOO-01", 102, 222}, {"XHONOO-02", 102, 222}, {"XHONOO-03", 102, 222},
};

// The robot's pose catalogue: the bitmap each of the 79 poses shows, in catalogue order (a bitmap may
// serve several poses; DMY-00 stands for the poses that show nothing).
const char *const kPoseCatalogue[] = {
    "SOK-TAN00", "SOK-TAN01", "FLY-01",    "FLY-02",    "FLY-03",    "FLY-04",    "FLY-05",    "FLY-06",
    "FLY-07",    "FLY-08",    "FLY-09",    "DMY-00",    "OPEN-01",   "OPEN-02",   "OPEN-03",   "OPEN-04",
    "OPEN-05",   "TATU-01",   "TATU-02",   "RIGH-01",   "RIGH-02",   "RIGH-03",   "RIGH-04",   "LEFT-01",
    "LEFT-02",   "LEFT-03",   "LEFT-04",   "TEBURI-01", "WARAI-01",  "MUKUL-01",  "MUKUL-02",  "MUKUL-03",
    "MUKUL-04",  "GENKIL-01", "GENKIL-02", "GENKIL-01", "GENKIL-02", "TENTOL-01", "TENTOL-02", "TENTOL-03",
    "TENTOL-04", "TENTOL-05", "TENTOL-06", "TENTOL-07", "TENTOL-08", "TENTOL-09", "TENTOL-10", "TENTOL-11",
    "NERU-01",   "NERU-02",   "NERU-03",   "FLY-01",    "FLY-02",    "DMY-00",    "DMY-00",    "DMY-00",
    "DMY-00",    "DMY-00",    "DMY-00",    "DMY-00",    "GENKIR-01", "GENKIR-02", "GENKIR-01", "GENKIR-02",
    "MUKUR-01",  "MUKUR-02",  "MUKUR-03",  "MUKUR-04",  "TENTOR-01", "TENTOR-02", "TENTOR-03", "TENTOR-04",
    "TENTOR-05", "TENTOR-06", "TENTOR-07", "TENTOR-08", "TENTOR-09", "TENTOR-10", "TENTOR-11",
};

// The facts about the pictures that the program's code needs, as a header it includes.
// "#define NAME VALUE" and a line break.
std::string define(const char *name, size_t value) {
    return std::string("#define ") + name + " " + std::to_string(value) + "\n";
}

// "#define NAME" with the items as its value, `perLine` of them to a line, separated by commas.
std::string defineList(const char *name, const std::vector<std::string> &items, size_t perLine) {
    std::string m = std::string("#define ") + name;
    for (size_t i = 0; i < items.size(); ++i)
        m += std::string(i % perLine == 0 ? " \\\n   " : "") + " " + items[i] +
             (i + 1 < items.size() ? "," : "");
    return m + "\n";
}

std::string artworkHeader() {
    std::vector<std::string> poses, sizes;
    for (const char *name : kPoseCatalogue)
        poses.push_back("\"" + std::string(name) + "\"");
    for (const Expected &e : kExpected)
        sizes.push_back("{\"" + std::string(e.name) + "\", " + std::to_string(e.w) + ", " +
                        std::to_string(e.h) + "}");
    return "// Written by resources/art/generate.cpp with the pictures: what the program needs to know about "
           "them.\n"
           "// Do not edit; run artgen instead.\n"
           "#pragma once\n// clang-format off\n\n"
           "// The robot's poses: the bitmap of each, by resource name, in catalogue order.\n" +
           define("ARTWORK_POSE_COUNT", poses.size()) + defineList("ARTWORK_POSE_NAMES", poses, 8) +
           "\n"
           "// The scorch mask and image (XHONOO-BK1, XHONOO-BK2): their size.\n" +
           define("ARTWORK_SCORCH_WIDTH", kScorchW) + define("ARTWORK_SCORCH_HEIGHT", kScorchH) +
           "// The flame frames (XHONOO-01 to -03): their size, and where they sit in the scorch picture.\n" +
           define("ARTWORK_FLAME_WIDTH", kFlameW) + define("ARTWORK_FLAME_HEIGHT", kFlameH) +
           define("ARTWORK_FLAME_X", kFlameX0) + define("ARTWORK_FLAME_Y", kFlameY0) +
           "\n"
           "// Every bitmap by resource name, with its width and height.\n" +
           define("ARTWORK_BITMAP_COUNT", sizes.size()) + defineList("ARTWORK_BITMAP_SIZES", sizes, 4);
}

void checkPose(const Named &n, const Palette &pal) {
    const Indexed &img = n.img;
    int left = img.w, right = -1;
    bool onFloor = false;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            if (img.at(x, y) != kIndexBlack) {
                require(!pal.isBlack(img.at(x, y)), n.name + " uses a second black");
                left = std::min(left, x);
                right = std::max(right, x);
                onFloor = onFloor || y == img.h - 1;
            }
    require(onFloor, n.name + " does not stand on the bottom row");
    require(std::abs(left - (img.w - 1 - right)) <= 1, n.name + " is not centred");
}

void checkFirePictures(const Indexed &mask, const Indexed &image, const std::vector<const Indexed *> &flames,
                       const Palette &pal) {
    for (int y = 0; y < kScorchH; ++y)
        for (int x = 0; x < kScorchW; ++x) {
            const uint8_t m = mask.at(x, y), c = image.at(x, y);
            require(pal.isBlack(m) || pal.isWhite(m), "the scorch mask is only black and white");
            if (pal.isWhite(m))
                require(pal.isBlack(c), "the scorch image is black wherever the mask is white");
            const bool inFlame = x >= kFlameX0 && x <= kFlameX1 && y >= kFlameY0 && y <= kFlameY1;
            if (inFlame) require(pal.isBlack(m), "the flame rectangle lies inside the scorch");
            const auto &e = pal.entry[c];
            if (!inFlame) require(e[0] == e[1] && e[1] == e[2], "the circuit board stays under the flames");
        }
    for (const Indexed *f : flames)
        for (uint8_t c : f->px)
            require(!pal.isBlack(c), "a flame frame has a see-through black pixel");
}

int run(int argc, char **argv) {
    if (argc < 2) {
        std::cerr << "usage: artgen OUTDIR [--contact-sheet FILE.ppm] [--icon-preview FILE.pam] [--report]\n";
        return 2;
    }
    const std::filesystem::path outDir = argv[1];
    std::string sheetPath, iconPreviewPath;
    bool report = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--contact-sheet" && i + 1 < argc)
            sheetPath = argv[++i];
        else if (a == "--icon-preview" && i + 1 < argc)
            iconPreviewPath = argv[++i];
        else if (a == "--report")
            report = true;
        else {
            std::cerr << "artgen: unknown argument " << a << "\n";
            return 2;
        }
    }

    Palette pal = buildPalette();
    require(pal.used == 256 && pal.isBlack(0), "palette entry 0 is black and all 256 are defined");
    for (int i = 1; i < 256; ++i)
        require(!pal.isBlack(static_cast<uint8_t>(i)), "black appears only once in the palette");
    require(pal.isWhite(kIndexWhite) && pal.entry[kIndexChar] == std::array<uint8_t, 3>{49, 49, 49},
            "white and char grey sit where expected");

    std::vector<Named> all;
    for (const PoseSpec &entry : poseList()) {
        if (!entry.mirrorOf.empty()) {
            // Find the original first: adding to `all` while walking it would invalidate the walk.
            Indexed twin(1, 1, kIndexBlack);
            bool found = false;
            for (const Named &n : all) {
                if (n.name == entry.mirrorOf) {
                    twin = mirrored(n.img);
                    found = true;
                    break;
                }
            }
            require(found, "a mirrored pose follows its original");
            all.push_back({entry.name, std::move(twin)});
            continue;
        }
        Placement info;
        Indexed img = placeFigure(entry.pose, entry.w, entry.h, pal, &info);
        if (report)
            std::cout << entry.name << " " << entry.w << "x" << entry.h << " figure " << info.figW << "x"
                      << info.figH
                      << (info.scale < 1 ? " shrunk from " + std::to_string(info.naturalW) + "x" +
                                               std::to_string(info.naturalH)
                                         : "")
                      << "\n";
        all.push_back({entry.name, std::move(img)});
    }
    for (Named &n : all)
        checkPose(n, pal);
    all.push_back({"DMY-00", Indexed(1, 1, kIndexBlack)});

    const Scorch scorch;
    Indexed mask = scorchMask(scorch);
    Indexed image = scorchImage(scorch, mask, pal);
    std::vector<Indexed> flames;
    for (int f = 0; f < 3; ++f)
        flames.push_back(flameFrame(f, pal));
    checkFirePictures(mask, image, {&flames[0], &flames[1], &flames[2]}, pal);
    all.push_back({"XHONOO-BK1", std::move(mask)});
    all.push_back({"XHONOO-BK2", std::move(image)});
    for (int f = 0; f < 3; ++f)
        all.push_back({numbered("XHONOO-", f + 1), std::move(flames[static_cast<size_t>(f)])});

    // exactly the expected set, each at its exact size
    require(all.size() == std::size(kExpected), "71 bitmaps");
    for (const Expected &e : kExpected) {
        const auto it =
            std::find_if(all.begin(), all.end(), [&](const Named &n) { return n.name == e.name; });
        require(it != all.end(), std::string("missing ") + e.name);
        require(it->img.w == e.w && it->img.h == e.h, std::string("wrong size for ") + e.name);
    }
    require(all.back().img.px.size() > 0, "flames drawn");

    for (const char *name : kPoseCatalogue)
        require(std::any_of(all.begin(), all.end(), [&](const Named &n) { return n.name == name; }),
                std::string("the catalogue names a bitmap that is not drawn: ") + name);
    require(kFlameX1 - kFlameX0 + 1 == kFlameW && kFlameY1 - kFlameY0 + 1 == kFlameH,
            "the flame rectangle is the flame frames' size");

    const Icon icon = drawIcon();

    std::filesystem::create_directories(outDir / "bitmaps");
    for (const Named &n : all)
        writeFile(outDir / "bitmaps" / (n.name + ".bmp"), encodeBmp(n.img, pal));
    writeFile(outDir / "scrwarpvue.ico", encodeIco(icon));
    std::filesystem::create_directories(outDir / "icons");
    writeFile(outDir / "icons" / "scrwarpvue-32.png", encodeIconPng(icon, 1));
    writeFile(outDir / "icons" / "scrwarpvue-128.png", encodeIconPng(icon, 4));
    const std::string header = artworkHeader();
    writeFile(outDir / "artwork.h", std::vector<uint8_t>(header.begin(), header.end()));
    if (!sheetPath.empty()) writeContactSheet(sheetPath, all, pal);
    if (!iconPreviewPath.empty()) writeIconPreview(iconPreviewPath, icon);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::cerr << "artgen: " << e.what() << "\n";
        return 1;
    }
}
