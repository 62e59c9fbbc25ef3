#pragma once
// COutputFiles: the files of one output shapefile while it is written. Each is written under a temporary
// name in the output's folder (hidden, derived from the output's name and this process) and Commit renames
// them to the output's name, each with its extension, replacing the output's whole file set only then. Files
// not committed are removed by RemoveTemporaries, and by the destructor.
//
// From Begin to the end of the commit (or RemoveTemporaries) the object holds an advisory lock on the output
// (a hidden lock file beside it, flock, named after the base with its letter case folded as the set's members
// are matched), so two merges to one output, whatever the letter case of its name, never mix their files: the
// second is refused at once.
//
// Nothing is replaced that was not there at Begin: without overwrite each name is placed by a rename that
// refuses an existing target, and with it only the members found at Begin are replaced or removed. A member
// that appears meanwhile fails the commit, which then takes back what it placed and leaves that file alone.

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
    // The first of inputs (paths of layers) that a member of the output's set is, or would be once written:
    // the same file (device and inode) as any of the input's own files (the path itself, its .shp, .shx,
    // .dbf, .prj, .cpg and a table's .tab, .dat, .map, .id, .ind, found in any letter case), or the same
    // name with letter case folded in the same folder. Empty when none is.
    static std::u16string ReplacedInput(const std::u16string& mainPath,
                                        const std::vector<std::u16string>& inputs);
    // The journal of a merge to the output whose main file is mainPath that died inside its commit; the next
    // merge to that output finishes the commit from it. Empty when there is none.
    static std::u16string PendingJournal(const std::u16string& mainPath);
    // Whether merges to that output that no longer run left any file (a journal or temporaries), which the
    // next merge to it removes or finishes before it checks the set.
    static bool HasLeftovers(const std::u16string& mainPath);
    // The longest base name (in UTF-8 bytes) whose temporary names fit in a folder.
    static constexpr std::size_t kMaxBaseBytes = 220;

    // Takes the lock of the output whose main file is path, finishes or removes what an earlier merge to it
    // left when it was killed, and chooses the temporary names; nothing of the output is written yet.
    // Without overwrite, any existing member of the output's set refuses the output. Raises on failure.
    // A member that is a folder, and a base name longer than kMaxBaseBytes, refuse the output either way.
    void Begin(const std::u16string& path, bool overwrite = true);
    // Whether the commit writes each new file out to the disk before it takes its name, and the folder after
    // the last rename (the default), so that after a power loss each name holds a whole file. Before Commit.
    void SetSync(bool sync) { m_sync = sync; }
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
    // places it. False when it cannot be copied (why, when given, says why), or is larger than 1 MB, which
    // no reader takes for a .prj or .cpg; an earlier copy of the same extension is then kept.
    bool PlaceCopy(const std::u16string& sourcePath, const std::u16string& extension,
                   std::u16string* why = nullptr);

    // Renames every placed file over the output's file of its extension, the .shp last, and removes the
    // members of the output's set (found at Begin) that no placed file replaces. See the comment at its
    // definition for what a crash at any point leaves. Raises when a rename fails or a member appeared.
    void Commit();
    // Deletes the placed temporary files and lets go of the lock.
    void RemoveTemporaries();
    // The text with every temporary name replaced by the final one: users know the output by its name.
    std::u16string WithFinalNames(std::u16string text) const;

    // For tests of the commit: when the environment variable FENNICK_COMMIT_CRASH is a number N, the process
    // kills itself before the Nth step of a commit (1 = before writing the journal); when
    // FENNICK_COMMIT_APPEAR is "N:name", a file of that name appears in the output's folder before step N.
    void TestHook(int step) const;

private:
    struct SPlaced {
        std::u16string temp;
        std::u16string extension;
    };
    // A member of the set as Begin found it.
    struct SMember {
        std::u16string name;
        unsigned long long device = 0;
        unsigned long long inode = 0;
    };

    std::u16string FinalPath(std::u16string_view extension) const;
    void Lock(const std::u16string& lockPath);
    void Unlock();
    void RecoverLeftovers();
    // Whether the member is as Begin found it (the same name and file).
    bool FoundAtBegin(const std::u16string& name) const;
    [[noreturn]] void ThrowAppeared(const std::u16string& path) const;

    std::u16string m_outputDir;               // folder of the output, with its separator
    std::u16string m_outputBase;              // base name of the output
    std::u16string m_mainExtension = u".shp"; // as typed: ".shp" or ".SHP"
    std::u16string m_tempBase;                // base name of the temporary files
    std::u16string m_foldedBase;              // the base with its letter case folded, for hidden names
    std::vector<SMember> m_atBegin;
    bool m_sync = true;
    std::vector<SPlaced> m_placed;
    int m_lockFd = -1;
    std::u16string m_lockPath;
};

} // namespace fennick
