#pragma once
// COutputFiles: the files of one output shapefile while it is written. Each is written under a temporary
// name in the output's folder (hidden, derived from the output's name, used by nothing else) and Commit
// renames them all to the output's name, each with its extension, replacing existing files of that name
// only then. Files not committed are removed by RemoveTemporaries, and by the destructor.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {

class COutputFiles {
public:
    COutputFiles() = default;
    // Removes the temporary files not committed.
    ~COutputFiles();
    COutputFiles(const COutputFiles&) = delete;
    COutputFiles& operator=(const COutputFiles&) = delete;

    // Chooses the temporary names for the output whose main file is path; nothing is written yet.
    void Begin(const std::u16string& path);
    // The temporary file for an extension (".shp", ".old.cpg" ...).
    std::u16string TempPath(const std::u16string& extension) const;
    // Records that temp is to become the output's file with the extension (with its dot); a temporary
    // already recorded is recorded once.
    void Place(const std::u16string& temp, const std::u16string& extension);
    // Whether a file with the extension is to be placed.
    bool IsPlaced(std::u16string_view extension) const;

    // The extension of a copied companion in the form Place takes (a leading dot, ASCII small letters);
    // empty when it names none or one of the files the writer makes (.shp, .shx, .dbf).
    static std::u16string CompanionExtension(const std::u16string& extension);
    // Copies a file byte for byte to the temporary of the extension (from CompanionExtension) and places
    // it. False when it cannot be copied; an earlier copy of the same extension is then kept.
    // why, when given, receives the reason of a failure.
    bool PlaceCopy(const std::u16string& sourcePath, const std::u16string& extension,
                   std::u16string* why = nullptr);

    // Renames every placed file into place. For each extension of stale that no placed file has, an existing
    // file of the output's name is removed, since it would misstate the new files. Existing files are moved
    // aside first: a rename that fails puts everything back and raises a file error.
    void Commit(std::initializer_list<std::u16string_view> stale);
    // Deletes the placed temporary files.
    void RemoveTemporaries();
    // The text with every temporary name replaced by the final one: users know the output by its name.
    std::u16string WithFinalNames(std::u16string text) const;

private:
    struct SPlaced {
        std::u16string temp;
        std::u16string extension;
    };

    std::u16string FinalPath(std::u16string_view extension) const;

    std::u16string m_outputDir;  // folder of the output, with its separator
    std::u16string m_outputBase; // base name of the output
    std::u16string m_tempBase;   // base name of the temporary files
    std::vector<SPlaced> m_placed;
};

} // namespace fennick
