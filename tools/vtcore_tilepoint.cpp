// vtcore_tilepoint: the tile of a point in the Web Mercator and the geographic tiling schemes.
//
//     vtcore_tilepoint <longitude> <latitude> <level>
//
// Prints, for each scheme, the tile key holding the point, its map ID, its geographic extent in
// degrees and its pixel extent within the level, and the point's pixel inside the tile.

#include "tile/ITileModel.h"
#include "tile/TileKey.h"
#include "tile/TileModel.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kMaxLevel = 30;  // deeper levels have more columns than a 32-bit key can number

void PrintUsage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s <longitude> <latitude> <level>\n"
                 "  longitude  degrees, -180 to 180\n"
                 "  latitude   degrees, -90 to 90\n"
                 "  level      whole number, 0 to %d\n"
                 "example: %s 116.391 39.907 12\n",
                 program, kMaxLevel, program);
}

bool ParseDouble(const char* text, double lo, double hi, double& out)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(v) || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool ParseLevel(const char* text, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < 0 || v > kMaxLevel)
        return false;
    out = static_cast<int>(v);
    return true;
}

void PrintScheme(const char* title, E_TILE_MODEL scheme, double lon, double lat, int level)
{
    const CTileModel* model = ITileModel::GetTileModel(scheme, true);
    if (model == nullptr) {
        std::printf("%s: no model\n", title);
        return;
    }
    const CTileKey key = model->MakeKey(level, lon, lat);
    const CExtent geo = model->GetGeoExtent(key);
    const CExtent pix = model->GetPixelExtent(key, level);
    int px = 0;
    int py = 0;
    model->CalculateLocalPixelCoordinate(px, py, level, lon, lat);
    std::printf("%s (%d x %d tiles at level %d)\n", title, model->GetNumberTileX(level),
                model->GetNumberTileY(level), level);
    std::printf("  tile key      %s (level %d, column %d, row %d from the north)\n", key.GetTileKeyString().c_str(),
                key.GetLevel(), key.GetTileX(), key.GetTileY());
    std::printf("  map ID        %lld\n", key.ToMapID());
    std::printf("  geo extent    west %.9f  south %.9f  east %.9f  north %.9f\n", geo.minx, geo.miny, geo.maxx,
                geo.maxy);
    std::printf("  pixel extent  left %.0f  top %.0f  right %.0f  bottom %.0f\n", pix.minx, pix.miny, pix.maxx,
                pix.maxy);
    std::printf("  point pixel   %d, %d inside the tile\n", px, py);
}

}  // namespace

int main(int argc, char** argv)
{
    const char* program = argc > 0 ? argv[0] : "vtcore_tilepoint";
    double lon = 0.0;
    double lat = 0.0;
    int level = 0;
    if (argc != 4) {
        PrintUsage(program);
        return 2;
    }
    if (!ParseDouble(argv[1], -180.0, 180.0, lon)) {
        std::fprintf(stderr, "%s: bad longitude \"%s\"\n", program, argv[1]);
        PrintUsage(program);
        return 2;
    }
    if (!ParseDouble(argv[2], -90.0, 90.0, lat)) {
        std::fprintf(stderr, "%s: bad latitude \"%s\"\n", program, argv[2]);
        PrintUsage(program);
        return 2;
    }
    if (!ParseLevel(argv[3], level)) {
        std::fprintf(stderr, "%s: bad level \"%s\"\n", program, argv[3]);
        PrintUsage(program);
        return 2;
    }
    std::printf("point: longitude %.9f, latitude %.9f, level %d\n", lon, lat, level);
    PrintScheme("Web Mercator", TILE_MODEL_MERCATOR, lon, lat, level);
    PrintScheme("Geographic", TILE_MODEL_GEOGRAPHIC, lon, lat, level);
    return 0;
}
