#pragma once
// COutputFiles: the files of one output shapefile while it is written. Each is written under a temporary
// name in the output's folder (hidden, derived from the output's name and this process) and Commit renames
// them to the output's name, each with its extension, replacing the output's whole file set only then. Files
// not committed are removed by RemoveTemporaries, and by the destructor.
//
// From Begin to the end of the commit (or RemoveTemporaries) the object holds an advisory lock on the output (a hidden lock file beside
// it, flock), so two merges to one output never mix their files: the second is refused at once.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {

class COutputFiles {
public:
    COutputFiles() = default;
    // Removes the temporary files not committed and lets go of the lock.
    ~COutputFiles();
    COutputFiles(const COutputFiles&) = delete;
    COutputFiles& operator=(const COutputFiles&) = delete;

    // The extensions of an output's file set: what the writer makes, the companions copied or written beside
    // it, and the index and metadata files other programs keep beside a shapefile, which would describe
    // data the new files do not hold.
    static const std::vector<std::u16string_view>& SetExtensions();
    // The main file an output path names: <folder>/<base>.shp, a missing or other extension made ".shp"
    // (".SHP" as typed is kept). Empty when the path names no file: a folder, or an empty base name.
    static std::u16string MainFilePath(const std::u16string& path);
    // The existing files of the set of the output whose main file is mainPath, found in any letter case
    // (links, dangling ones included, count as existing).
    static std::vector<std::u16string> ExistingSetMembers(const std::u16string& mainPath);

    // Takes the lock of the output whose main file is path, finishes or removes what an earlier merge to it
    // left when it was killed, and chooses the temporary names; nothing of the output is written yet.
    // Without overwrite, any existing member of the output's set refuses the output. Raises on failure.
    void Begin(const std::u16string& path, bool overwrite = true);
    // The temporary file for an extension (".shp", ".new.cpg" ...).
    std::u16string TempPath(const std::u16string& extension) const;
    // Records that temp is to become the output's file with the extension (with its dot); a temporary
    // already recorded is recorded once.
    void Place(const std::u16string& temp, const std::u16string& extension);
    // Whether a file with the extension is to be placed.
    bool IsPlaced(std::u16string_view extension) const;

    // The extension of a copied companion in the form Place takes (a leading dot, ASCII small letters);
    // empty when it names none or one of the files the writer makes (.shp, .shx, .dbf).
    static std::u16string CompanionExtension(const std::u16string& extension);
    // Copies a regular file byte for byte to the temporary of the extension (from CompanionExtension) and
    // places it. False when it cannot be copied (why, when given, says why); an earlier copy of the same
    // extension is then kept.
    bool PlaceCopy(const std::u16string& sourcePath, const std::u16string& extension,
                   std::u16string* why = nullptr);

    // Renames every placed file over the output's file of its extension, the .shp last, and removes the
    // members of the output's set that no placed file replaces. See the comment at its definition for what a
    // crash at any point leaves. Raises a file error when a rename fails.
    void Commit();
    // Deletes the placed temporary files and lets go of the lock.
    void RemoveTemporaries();
    // The text with every temporary name replaced by the final one: users know the output by its name.
    std::u16string WithFinalNames(std::u16string text) const;

    // For tests of the commit: when the environment variable FENNICK_COMMIT_CRASH is a number N, the process
    // kills itself before the Nth step of a commit (1 = before writing the journal).
    static void CrashPointForTests(int step);

private:
    struct SPlaced {
        std::u16string temp;
        std::u16string extension;
    };

    std::u16string FinalPath(std::u16string_view extension) const;
    void Lock(const std::u16string& lockPath);
    void Unlock();
    void RecoverLeftovers();
    // Removes the members of the set whose extension is not in kept, in any letter case; a member whose name
    // is exactly a kept final name stays.
    void RemoveOtherMembers(const std::vector<std::u16string>& kept) const;

    std::u16string m_outputDir;               // folder of the output, with its separator
    std::u16string m_outputBase;              // base name of the output
    std::u16string m_mainExtension = u".shp"; // as typed: ".shp" or ".SHP"
    std::u16string m_tempBase;                // base name of the temporary files
    std::vector<SPlaced> m_placed;
    int m_lockFd = -1;
    std::u16string m_lockPath;
};

} // namespace fennick
