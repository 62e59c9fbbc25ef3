// Micro-benchmarks of the merge path's inner loops: the cached reader, shape records read from it, xBase
// record loads, and the table writer's per-value formatting. Fixtures are written to a temporary folder
// with the project's own writers; each benchmark reports records (or values) per second.
#include "data/GeoTypes.h"
#include "data/Ref.h"
#include "data/ShapeImpl.h"
#include "platform/CachedFile.h"
#include "platform/CodePage.h"
#include "platform/SysFile.h"
#include "shp/ShpDS.h"
#include "shp/ShpWriter.h"
#include "shp/XBaseDatabase.h"
#include "shp/XBaseNumbers.h"
#include "shp/XBaseRecord.h"
#include "shp/XBaseWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fennick {
namespace {

constexpr int kRecords = 20000;
constexpr int kVertices = 12;
constexpr uint32_t kShpRecordBytes = 8 + 44 + 4 + 16 * kVertices;

// A polygon shapefile with the benchmark's table layout, written once per process.
class CFixture {
public:
    CFixture() {
        char pattern[] = "/tmp/fennick-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            std::abort();
        m_dir = pattern;
        CShpWriter shapes;
        shapes.Create(FromUtf8(Shp()));
        auto table = CxBaseWriter::Create(FromUtf8(Dbf()));
        table->AddField(std::string_view("NAME"), CxBaseWriter::typeText, 30, 0);
        table->AddField(std::string_view("CODE"), CxBaseWriter::typeInteger, 10, 0);
        table->AddField(std::string_view("AREA"), CxBaseWriter::typeReal, 18, 6);
        table->AddField(std::string_view("CLASS"), CxBaseWriter::typeText, 10, 0);
        CGeoPoint ring[kVertices];
        for (int r = 0; r < kRecords; ++r) {
            for (int v = 0; v < kVertices; ++v) {
                const double angle = -2.0 * M_PI * (v % (kVertices - 1)) / (kVertices - 1);
                ring[v] = {r * 0.01 + std::cos(angle) * 0.001, r * 0.02 + std::sin(angle) * 0.001};
            }
            shapes.BeginPoly(CShpWriter::shpPolygon, 1);
            shapes.AddPart(ring, kVertices, true);
            shapes.EndPoly();
            const std::string name = "Parcel " + std::to_string(r);
            table->WriteString(r, 0, name);
            table->WriteInt64(r, 1, 1000003LL * r % 2000000000LL);
            table->WriteDouble(r, 2, r * 12.345678);
            table->WriteString(r, 3, r % 2 ? "resident" : "road");
        }
        shapes.Close();
        table->Close();
    }
    ~CFixture() { std::filesystem::remove_all(m_dir); }

    std::string Shp() const { return m_dir + "/layer.shp"; }
    std::string Dbf() const { return m_dir + "/layer.dbf"; }
    std::string Scratch() const { return m_dir + "/scratch.dbf"; }

private:
    std::string m_dir;
};

const CFixture& Fixture() {
    static const CFixture fixture;
    return fixture;
}

// Sequential record-sized reads through the .shp reader's cache.
void BM_CachedFileRead(benchmark::State& state) {
    CSysFile file;
    if (!file.Open(FromUtf8(Fixture().Shp()), CSysFile::kReadDenyWrite))
        std::abort();
    CCachedFile reader(file, CShpDS::kShpCache);
    uint8_t record[kShpRecordBytes];
    for (auto _ : state) {
        reader.Seek(100, 0);
        for (int r = 0; r < kRecords; ++r)
            benchmark::DoNotOptimize(reader.Read(record, sizeof record));
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
    state.SetBytesProcessed(state.iterations() * kRecords * int64_t{kShpRecordBytes});
}
BENCHMARK(BM_CachedFileRead);

// Shape records parsed from the cached reader, as the data source reads them.
void BM_ShapeReadFrom(benchmark::State& state) {
    CSysFile file;
    if (!file.Open(FromUtf8(Fixture().Shp()), CSysFile::kReadDenyWrite))
        std::abort();
    CCachedFile reader(file, CShpDS::kShpCache);
    CRef<CShapeImpl> shape = MakeRef<CShapeImpl>();
    for (auto _ : state) {
        reader.Seek(100, 0);
        for (int r = 0; r < kRecords; ++r)
            benchmark::DoNotOptimize(shape->ReadFrom(&reader));
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ShapeReadFrom);

// Attribute records loaded from the table and handed out as counted records.
void BM_DbfRecordLoad(benchmark::State& state) {
    CxBaseDatabase table;
    table.Open(FromUtf8(Fixture().Dbf()), CSysFile::kReadDenyNone, 0, {});
    for (auto _ : state) {
        for (uint32_t r = 0; r < kRecords; ++r) {
            CRef<CxBaseRecord> record = table.GetRecord(r);
            benchmark::DoNotOptimize(record->GetText(2).size());
        }
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DbfRecordLoad);

// The writer's formatting of one value of each kind the benchmark layout holds.
void BM_DbfWriteValues(benchmark::State& state) {
    auto table = CxBaseWriter::Create(FromUtf8(Fixture().Scratch()));
    table->AddField(std::string_view("NAME"), CxBaseWriter::typeText, 30, 0);
    table->AddField(std::string_view("CODE"), CxBaseWriter::typeInteger, 10, 0);
    table->AddField(std::string_view("AREA"), CxBaseWriter::typeReal, 18, 6);
    int32_t record = 0;
    for (auto _ : state) {
        // One record rewritten: formatting, not the file, is measured.
        table->WriteString(record, 0, "Parcel 1234567");
        table->WriteInt64(record, 1, 1234567890);
        table->WriteDouble(record, 2, 123456.789012);
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(BM_DbfWriteValues);

// Number text alone: a real read from its field text and printed back with six decimals.
void BM_NumberRoundTrip(benchmark::State& state) {
    char text[kNumberTextSize];
    for (auto _ : state) {
        const double value = ParseXBaseDouble("  123456.789012");
        benchmark::DoNotOptimize(PrintFixed(text, value, 6));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NumberRoundTrip);

} // namespace
} // namespace fennick
