#pragma once
// What the fuzz targets share: splitting one input into the files of a layer, a private scratch folder the
// files are written to (the readers open paths), and a walk that asks a data source everything a reader
// of its records can ask.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {
class IGeoDS;
}

namespace fennick::fuzz {

// Separates the files packed into one fuzz input; the seed generator packs with the same text.
inline constexpr std::string_view kSeparator = "--fennick-file--";

// Inputs larger than this are skipped, so one run costs bounded time.
inline constexpr std::size_t kMaxInput = 1 << 20;
// A walk reads at most this many records of a source.
inline constexpr int kMaxRecords = 4096;

// The parts of data between separators, at most maxParts (the last keeps the rest); missing parts are empty.
std::vector<std::string_view> SplitFiles(const uint8_t* data, std::size_t size, std::size_t maxParts);
// Joins files with the separator (for the seed generator).
std::string PackFiles(const std::vector<std::string>& files);

// A folder of this process, emptied before each run and removed at exit.
class CScratch {
public:
    // The process's folder, emptied.
    static CScratch& Fresh();
    const std::string& Dir() const { return m_dir; }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    // Writes bytes to name in the folder and returns its path; an empty view writes nothing when skipEmpty.
    std::string Write(const std::string& name, std::string_view bytes, bool skipEmpty = false) const;
    // The names of the files in the folder, sorted.
    std::vector<std::string> List() const;

private:
    CScratch();
    void Empty() const;
    std::string m_dir;
};

// Quietens GDAL and PROJ, whose messages would drown the fuzzer's.
void QuietLibraries();

// Every read-only question over the source: type, bounds, fields, each record's shape (every shape query),
// bounds and attributes, a selection by its bounds and by part of them, and the whole record set walked.
void ExerciseSource(IGeoDS* source);

} // namespace fennick::fuzz
