// fennick-gen-polygons: writes a polygon shapefile of generated records for the merge benchmark.
//
//     fennick-gen-polygons OUTPUT.shp RECORDS [SEED [z|small]]
//
// Every record is one closed ring of 12 vertices (11 distinct points and the closing one, clockwise, so
// readers take it for an outer ring) and four attributes: NAME (text 30), CODE (integer 10), AREA (real
// 18.6) and CLASS (text 10). A WGS 84 .prj goes beside it. The seed varies positions and values, so that
// inputs generated with different seeds are different files of the same layout. With "z" the layer is a
// PolygonZ one: every vertex also has a height and a measure. With "small" every ring has 5 vertices (4 and
// the closing one), the small regions of a parcel layer.

#include "data/GeoTypes.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "shp/ShpWriter.h"
#include "shp/XBaseWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace fennick;

namespace {

const char* const kPrj =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
    "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";

const char* const kClasses[] = {"resident", "commerce", "industry", "farmland", "forest", "water", "road"};

// A small, fast, reproducible generator (xorshift64*).
struct SRandom {
    uint64_t state;
    uint64_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 2685821657736338717ULL;
    }
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
};

std::string ReplaceExtension(const std::string& path, const char* extension) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    const std::string base =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
    return base + extension;
}

} // namespace

int main(int argc, char** argv) {
    const bool withZ = argc == 5 && std::strcmp(argv[4], "z") == 0;
    const bool small = argc == 5 && std::strcmp(argv[4], "small") == 0;
    if (argc < 3 || argc > 5 || (argc == 5 && !withZ && !small)) {
        std::fprintf(stderr, "Usage: fennick-gen-polygons OUTPUT.shp RECORDS [SEED [z|small]]\n");
        return 2;
    }
    const std::string output = argv[1];
    const long records = std::strtol(argv[2], nullptr, 10);
    const unsigned long long seed = argc >= 4 ? std::strtoull(argv[3], nullptr, 10) : 1;
    if (records < 0 || records > 100000000) {
        std::fprintf(stderr, "fennick-gen-polygons: bad record count %s\n", argv[2]);
        return 2;
    }
    try {
        CShpWriter shapes;
        shapes.Create(FromUtf8(output));
        CFileException error(CFileException::none, FromUtf8(ReplaceExtension(output, ".dbf")));
        auto table = CxBaseWriter::Create(FromUtf8(ReplaceExtension(output, ".dbf")), &error);
        if (!table)
            throw error;
        table->AddField(std::string_view("NAME"), CxBaseWriter::typeText, 30, 0);
        table->AddField(std::string_view("CODE"), CxBaseWriter::typeInteger, 10, 0);
        table->AddField(std::string_view("AREA"), CxBaseWriter::typeReal, 18, 6);
        table->AddField(std::string_view("CLASS"), CxBaseWriter::typeText, 10, 0);

        SRandom random{0x9E3779B97F4A7C15ULL ^ (seed * 0xD1B54A32D192ED03ULL)};
        constexpr int kVertices = 12;
        const int ringSize = small ? 5 : kVertices;
        CGeoPoint ring[kVertices];
        // A PolygonZ record: box, one part of kVertices points, then z and m, each a range and the values.
        constexpr std::size_t kPoints = 44, kZ = kPoints + 16 * kVertices, kM = kZ + 16 + 8 * kVertices;
        std::vector<uint8_t> content(kM + 16 + 8 * kVertices);
        const auto put = [&](std::size_t offset, const auto& value) {
            std::memcpy(content.data() + offset, &value, sizeof value);
        };
        char name[40];
        for (long r = 0; r < records; ++r) {
            const double cx = -170.0 + 340.0 * random.Unit();
            const double cy = -80.0 + 160.0 * random.Unit();
            const double radius = 0.001 + 0.01 * random.Unit();
            // Clockwise: the angle falls from one vertex to the next.
            for (int v = 0; v < ringSize - 1; ++v) {
                const double angle = -2.0 * M_PI * v / (ringSize - 1);
                const double wobble = 0.8 + 0.4 * random.Unit();
                ring[v].x = cx + radius * wobble * std::cos(angle);
                ring[v].y = cy + radius * wobble * std::sin(angle);
            }
            ring[ringSize - 1] = ring[0];
            if (withZ) {
                double box[4] = {ring[0].x, ring[0].y, ring[0].x, ring[0].y};
                const double base = 100.0 * random.Unit();
                for (int v = 0; v < kVertices; ++v) {
                    box[0] = std::min(box[0], ring[v].x);
                    box[1] = std::min(box[1], ring[v].y);
                    box[2] = std::max(box[2], ring[v].x);
                    box[3] = std::max(box[3], ring[v].y);
                    put(kPoints + 16 * v, ring[v]);
                    put(kZ + 16 + 8 * v, base + v % (kVertices - 1));
                    put(kM + 16 + 8 * v, static_cast<double>(v % (kVertices - 1)));
                }
                put(0, box);
                put(32, int32_t{1});
                put(36, int32_t{kVertices});
                put(40, int32_t{0});
                put(kZ, base);
                put(kZ + 8, base + kVertices - 2);
                put(kM, 0.0);
                put(kM + 8, double{kVertices - 2});
                shapes.WriteContent(15, content.data(), content.size());
            } else {
                shapes.BeginPoly(CShpWriter::shpPolygon, 1);
                shapes.AddPart(ring, ringSize, true);
                shapes.EndPoly();
            }

            const int32_t record = static_cast<int32_t>(r);
            const int length = std::snprintf(name, sizeof name, "Parcel %llu-%ld", seed, r);
            table->WriteString(record, 0, std::string_view(name, static_cast<std::size_t>(length)));
            table->WriteInt64(record, 1, static_cast<int64_t>(random.Next() % 2000000000ULL));
            table->WriteDouble(record, 2, std::round(radius * radius * 3.0e12 * random.Unit()) / 1.0e6);
            table->WriteString(record, 3, kClasses[random.Next() % 7]);
        }
        shapes.Close();
        table->Close();

        std::FILE* prj = std::fopen(ReplaceExtension(output, ".prj").c_str(), "wb");
        if (prj == nullptr || std::fputs(kPrj, prj) < 0 || std::fclose(prj) != 0) {
            std::fprintf(stderr, "fennick-gen-polygons: cannot write the .prj\n");
            return 1;
        }
    } catch (const CException& e) {
        std::fprintf(stderr, "fennick-gen-polygons: %s\n", ToUtf8(e.Message()).c_str());
        return 1;
    }
    return 0;
}
