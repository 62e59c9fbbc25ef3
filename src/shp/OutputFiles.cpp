#include "shp/OutputFiles.h"

#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/PathFunctions.h"
#include "platform/SysFile.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unordered_map>

namespace fennick {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> g_tempCounter{0};

bool RenameFile(const std::u16string& from, const std::u16string& to) {
    return ::rename(ToUtf8(from).c_str(), ToUtf8(to).c_str()) == 0;
}

// A rename that fails with EEXIST instead of replacing a file at the target; where the file system lacks
// the flag, a hard link (which never replaces) and then the removal of the old name.
bool RenameNoReplace(const std::u16string& from, const std::u16string& to) {
    const std::string source = ToUtf8(from), target = ToUtf8(to);
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    if (::link(source.c_str(), target.c_str()) != 0)
        return false;
    ::unlink(source.c_str());
    return true;
}

// Whether anything, a dangling link included, stands at the path.
bool Occupied(const std::u16string& path) {
    struct stat st {};
    return ::lstat(ToUtf8(path).c_str(), &st) == 0;
}

// The names in a folder ("" is the current one).
// Read with readdir: a directory iterator builds a path object per name, which costs more than the rest of
// the comparison in a folder of thousands of inputs.
std::vector<std::u16string> FolderNames(const std::u16string& dir) {
    std::vector<std::u16string> names;
    DIR* folder = ::opendir(dir.empty() ? "." : ToUtf8(dir).c_str());
    if (folder == nullptr)
        return names;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(FromUtf8(name));
    }
    ::closedir(folder);
    return names;
}

bool ProcessAlive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

std::u16string Folded(std::u16string text) {
    for (char16_t& c : text)
        c = FoldCase(c);
    return text;
}

// Writes a file's data out to the disk (a folder's entries, for a folder). Raises with the path.
void SyncPath(const std::u16string& path, bool folder = false) {
    const std::u16string target = path.empty() ? u"." : path;
    const int fd = ::open(ToUtf8(target).c_str(), (folder ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        CFileException::ThrowErrno(errno, target);
    const int status = folder ? ::fsync(fd) : ::fdatasync(fd);
    const int err = errno;
    ::close(fd);
    if (status != 0)
        CFileException::ThrowErrno(err, target);
}

// The device and inode of what the path names (links followed when follow is set); false when nothing.
bool FileId(const std::u16string& path, std::pair<unsigned long long, unsigned long long>& id,
            bool follow = true) {
    struct stat st {};
    const std::string native = ToUtf8(path.empty() ? u"." : path);
    if ((follow ? ::stat(native.c_str(), &st) : ::lstat(native.c_str(), &st)) != 0)
        return false;
    id = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    return true;
}

// A journal's name: ".<folded base>.~<pid>-<n>.commit".
constexpr std::u16string_view kJournalExtension = u".commit";

} // namespace

COutputFiles::~COutputFiles() {
    RemoveTemporaries();
    Unlock();
}

const std::vector<std::u16string_view>& COutputFiles::SetExtensions() {
    static const std::vector<std::u16string_view> extensions = {
        u".shp",     u".shx", u".dbf", u".prj", u".cpg", u".qix", u".sbn", u".sbx",
        u".shp.xml", u".aih", u".ain", u".atx", u".fbn", u".fbx", u".ixs", u".mxs"};
    return extensions;
}

std::u16string COutputFiles::MainFilePath(const std::u16string& path) {
    const std::u16string dir = GetDirectoryPart(path);
    std::u16string name = path.substr(dir.size());
    if (name.empty() || name == u"." || name == u".." || IsDirectory(path))
        return {};
    const auto dot = name.rfind(u'.');
    std::u16string extension = u".shp";
    if (dot != std::u16string::npos && dot > 0) {
        if (name.substr(dot) == u".SHP")
            extension = u".SHP";
        name.resize(dot);
    } else if (dot == 0) {
        return {}; // ".shp" alone has no base name
    }
    return dir + name + extension;
}

std::vector<std::u16string> COutputFiles::ExistingSetMembers(const std::u16string& mainPath) {
    const std::u16string dir = GetDirectoryPart(mainPath);
    const std::u16string base = GetFileBaseName(mainPath);
    std::vector<std::u16string> found;
    const std::vector<std::u16string> names = FolderNames(dir);
    // In the order of the extensions, so that a message names the .shp first.
    for (const std::u16string_view ext : SetExtensions())
        for (const std::u16string& name : names)
            if (name.size() == base.size() + ext.size() &&
                EqualIgnoringCase(name, base + std::u16string(ext)))
                found.push_back(dir + name);
    return found;
}

std::u16string COutputFiles::ReplacedInput(const std::u16string& mainPath,
                                           const std::vector<std::u16string>& inputs) {
    static const std::u16string_view kInputExtensions[] = {u".shp", u".shx", u".dbf", u".prj", u".cpg",
                                                           u".tab", u".dat", u".map", u".id",  u".ind"};
    const std::u16string outDir = GetDirectoryPart(mainPath);
    const std::u16string outBase = GetFileBaseName(mainPath);
    std::pair<unsigned long long, unsigned long long> outFolder{}, id{};
    const bool haveOutFolder = FileId(outDir, outFolder);
    std::vector<std::pair<unsigned long long, unsigned long long>> members;
    for (const std::u16string& member : ExistingSetMembers(mainPath))
        if (FileId(member, id))
            members.push_back(id);
    const auto outputName = [&](const std::u16string& name) {
        for (const std::u16string_view ext : SetExtensions())
            if (name.size() == outBase.size() + ext.size() &&
                EqualIgnoringCase(name, outBase + std::u16string(ext)))
                return true;
        return false;
    };
    // Each folder of inputs is listed once, its names kept by their folded form: listing it again for every
    // input made the check grow with the square of the inputs of one folder.
    struct SFolder {
        std::unordered_multimap<std::u16string, std::u16string> names;
        bool isOutputFolder = false;
    };
    std::map<std::u16string, SFolder> folders;
    for (const std::u16string& input : inputs) {
        const std::u16string dir = GetDirectoryPart(input);
        const std::u16string base = GetFileBaseName(input);
        auto [at, listed] = folders.try_emplace(dir);
        SFolder& folder = at->second;
        if (listed) {
            std::pair<unsigned long long, unsigned long long> folderId{};
            folder.isOutputFolder = haveOutFolder && FileId(dir, folderId) && folderId == outFolder;
            // In another folder, with no output file there yet, no name of the folder can be the output's.
            if (folder.isOutputFolder || !members.empty())
                for (std::u16string& name : FolderNames(dir)) {
                    std::u16string folded = Folded(name);
                    folder.names.emplace(std::move(folded), std::move(name));
                }
        }
        if (!folder.isOutputFolder && members.empty())
            continue;
        std::vector<std::u16string> names{input.substr(dir.size())};
        const std::u16string folded = Folded(base);
        for (const std::u16string_view ext : kInputExtensions) {
            std::u16string wanted = folded;
            wanted += ext;
            const auto [first, last] = folder.names.equal_range(wanted);
            for (auto it = first; it != last; ++it)
                names.push_back(it->second);
        }
        for (const std::u16string& name : names) {
            if (folder.isOutputFolder && outputName(name))
                return input;
            // Without an existing output file, no input can be one of them.
            if (!members.empty() && FileId(dir + name, id) &&
                std::find(members.begin(), members.end(), id) != members.end())
                return input;
        }
    }
    return {};
}

// The names of the files that merges to the output, now dead, left in its folder: ".<folded
// base>.~<pid>-<n>...".
static std::vector<std::u16string> DeadMergeFiles(const std::u16string& mainPath) {
    const std::u16string prefix = u"." + Folded(GetFileBaseName(mainPath)) + u".~";
    std::vector<std::u16string> found;
    for (const std::u16string& name : FolderNames(GetDirectoryPart(mainPath))) {
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const long pid = std::strtol(ToUtf8(name.substr(prefix.size())).c_str(), nullptr, 10);
        if (pid != ::getpid() && !ProcessAlive(pid))
            found.push_back(name);
    }
    return found;
}

std::u16string COutputFiles::PendingJournal(const std::u16string& mainPath) {
    for (const std::u16string& name : DeadMergeFiles(mainPath))
        if (name.size() > kJournalExtension.size() &&
            name.compare(name.size() - kJournalExtension.size(), kJournalExtension.size(),
                         kJournalExtension) == 0 &&
            name.find(u".new.") == std::u16string::npos)
            return GetDirectoryPart(mainPath) + name;
    return {};
}

bool COutputFiles::HasLeftovers(const std::u16string& mainPath) {
    return !DeadMergeFiles(mainPath).empty();
}

std::u16string COutputFiles::TempPath(const std::u16string& extension) const {
    return JoinPath(m_outputDir, m_tempBase, extension);
}

std::u16string COutputFiles::FinalPath(std::u16string_view extension) const {
    return m_outputDir + m_outputBase + (extension == u".shp" ? m_mainExtension : std::u16string(extension));
}

void COutputFiles::Lock(const std::u16string& lockPath) {
    const std::string native = ToUtf8(lockPath);
    // The file can be removed by the merge that held it between our open and our lock; then try again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) // the folder takes no new file: say so of the output, the file the user asked for
            CFileException::ThrowErrno(errno, FinalPath(u".shp"));
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            if (err == EWOULDBLOCK)
                ThrowGenericError(u"Another merge is writing " + FinalPath(u".shp") +
                                  u"; try again when it has finished.");
            CFileException::ThrowErrno(err, lockPath);
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(native.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            m_lockFd = fd;
            m_lockPath = lockPath;
            return;
        }
        ::close(fd);
    }
    ThrowGenericError(u"The lock file " + lockPath + u" keeps changing.");
}

void COutputFiles::Unlock() {
    if (m_lockFd < 0)
        return;
    // Removed while still held, so a waiting merge finds it gone and makes its own.
    ::unlink(ToUtf8(m_lockPath).c_str());
    ::close(m_lockFd);
    m_lockFd = -1;
}

void COutputFiles::Begin(const std::u16string& path, bool overwrite) {
    m_outputDir = GetDirectoryPart(path);
    m_outputBase = GetFileBaseName(path);
    const std::u16string name = path.substr(m_outputDir.size());
    m_mainExtension = name.size() >= 4 && name.substr(name.size() - 4) == u".SHP" ? u".SHP" : u".shp";
    if (m_outputBase.empty())
        ThrowGenericError(u"The output needs a file name: " + path + u".");
    // The temporaries' names add a process token and an extension to the base; a folder takes 255 bytes.
    if (const std::size_t bytes = ToUtf8(m_outputBase).size(); bytes > kMaxBaseBytes)
        ThrowGenericError(u"The output's name " + m_outputBase + u" is " +
                          Utf16Number(static_cast<long long>(bytes)) + u" bytes long; at most " +
                          Utf16Number(static_cast<long long>(kMaxBaseBytes)) + u" bytes fit.");
    m_foldedBase = Folded(m_outputBase);

    Lock(m_outputDir + u"." + m_foldedBase + u".lock");
    RecoverLeftovers();
    const std::vector<std::u16string> existing = ExistingSetMembers(FinalPath(u".shp"));
    for (const std::u16string& member : existing)
        if (IsDirectory(member))
            ThrowGenericError(member + u" is a folder; a member of the output's set cannot be one.");
    if (!overwrite && !existing.empty())
        ThrowGenericError(existing.front() + u" already exists; use --overwrite to replace it.");
    m_atBegin.clear();
    for (const std::u16string& member : existing) {
        std::pair<unsigned long long, unsigned long long> id{};
        if (FileId(member, id, false))
            m_atBegin.push_back({member.substr(m_outputDir.size()), id.first, id.second});
    }

    // A hidden name in the output's folder that nothing uses yet, for any file a commit may move.
    static const char16_t* const kExtensions[] = {u".shp", u".shx", u".dbf", u".cpg", u".prj", u".commit"};
    for (;;) {
        const std::string token = std::to_string(::getpid()) + "-" + std::to_string(++g_tempCounter);
        m_tempBase = u"." + m_foldedBase + u".~" + std::u16string(token.begin(), token.end());
        bool free = true;
        for (const char16_t* ext : kExtensions)
            free = free && !Occupied(TempPath(ext)) && !Occupied(TempPath(u".new" + std::u16string(ext)));
        if (free)
            break;
    }
}

void COutputFiles::Place(const std::u16string& temp, const std::u16string& extension) {
    for (const auto& placed : m_placed)
        if (placed.temp == temp)
            return;
    m_placed.push_back({temp, extension});
}

bool COutputFiles::IsPlaced(std::u16string_view extension) const {
    for (const auto& placed : m_placed)
        if (placed.extension == extension)
            return true;
    return false;
}

std::u16string COutputFiles::CompanionExtension(const std::u16string& extension) {
    std::u16string ext = extension;
    if (ext.empty() || ext[0] != u'.')
        ext.insert(ext.begin(), u'.');
    for (auto& c : ext)
        c = FoldAsciiCase(c);
    if (ext == u".shp" || ext == u".shx" || ext == u".dbf" || ext.size() < 2)
        return {};
    return ext;
}

bool COutputFiles::PlaceCopy(const std::u16string& sourcePath, const std::u16string& extension,
                             std::u16string* why) {
    // Copied beside first, so that a failed copy leaves an earlier copy of the same extension intact.
    const std::u16string temp = TempPath(extension);
    const std::u16string scratch = TempPath(u".new" + extension);
    // Readers take a .prj or .cpg of at most 1 MB; a larger one (a sparse file, a stray copy) is no
    // companion.
    constexpr uintmax_t kMaxCompanionBytes = 1 << 20;
    std::error_code ec;
    if (const uintmax_t size = fs::file_size(fs::path(ToUtf8(sourcePath)), ec);
        !ec && size > kMaxCompanionBytes) {
        if (why != nullptr)
            *why = u"it is larger than 1 MB, more than any reader takes";
        return false;
    }
    ec.clear();
    if (!CopyFileOverwrite(sourcePath, scratch, ec) || !RenameFile(scratch, temp)) {
        if (!ec)
            ec.assign(errno, std::generic_category());
        if (why != nullptr)
            *why = PathExists(sourcePath) && !IsRegularFile(sourcePath) ? u"not a regular file"
                                                                        : FromUtf8(ec.message());
        DeleteFile(scratch);
        return false;
    }
    Place(temp, extension);
    return true;
}

// The commit, in order, and what a crash or a power loss at each point leaves:
//  1. Each placed temporary is written out to the disk (unless the sync is off).
//  2. A journal (the temporary ".commit") lists each placed temporary with the final name it takes, then the
//     members found at Begin that no placed file replaces; its first line says whether the new files were
//     synced. It is synced and renamed into place whole, and the folder synced. A crash before that leaves
//     the old set untouched and temporaries of a process that no longer runs, which the next merge removes.
//  3. Each placed file but the .shp takes its final name: first those Begin found no file for, with a rename
//     that refuses an existing file, then the others over the file Begin found. A failure here takes the new
//     files back; an old file already replaced stays replaced.
//  4. The members that no placed file replaces (a stale .prj, an old spatial index) are removed.
//  5. The .shp takes its final name, last, so no new .shp is ever seen without its .shx and .dbf.
//  6. The folder is synced and the journal removed.
// A crash from 3 to 6 leaves the journal; the next merge to the output, with or without overwrite, finishes
// the commit from it before anything else (RecoverLeftovers), so the new set then stands whole. Each name
// always holds a whole file: the old one or a new one that was on the disk before it took the name.
void COutputFiles::Commit() {
    TestHook(1);
    // New names first, so that a file appearing at one fails the commit before any old file is replaced;
    // then the replacements; the .shp last.
    std::vector<SPlaced> order;
    std::vector<std::u16string> kept;
    for (int pass = 0; pass < 3; ++pass)
        for (const auto& placed : m_placed) {
            const std::u16string name = FinalPath(placed.extension).substr(m_outputDir.size());
            const bool shp = placed.extension == u".shp";
            if (pass == 2 ? shp : !shp && FoundAtBegin(name) == (pass == 1)) {
                order.push_back(placed);
                kept.push_back(name);
            }
        }

    // A member that Begin did not find appeared meanwhile: it is not ours to replace or remove.
    std::vector<std::u16string> removed;
    for (const std::u16string& member : ExistingSetMembers(FinalPath(u".shp"))) {
        const std::u16string name = member.substr(m_outputDir.size());
        if (!FoundAtBegin(name))
            ThrowAppeared(member);
        if (std::find(kept.begin(), kept.end(), name) == kept.end())
            removed.push_back(name);
    }
    if (m_sync)
        for (const auto& placed : order)
            SyncPath(placed.temp);

    std::string journal =
        m_sync ? "fennick commit: new files synced\n" : "fennick commit: new files not synced\n";
    for (std::size_t i = 0; i < order.size(); ++i)
        journal += ToUtf8(order[i].temp.substr(m_outputDir.size())) + "\t" + ToUtf8(kept[i]) + "\n";
    for (const std::u16string& name : removed)
        journal += "-\t" + ToUtf8(name) + "\n";
    const std::u16string journalPath = TempPath(std::u16string(kJournalExtension));
    const std::u16string journalScratch = TempPath(u".new" + std::u16string(kJournalExtension));
    try {
        {
            CSysFile file;
            CFileException error(CFileException::none, journalScratch);
            if (!file.Open(journalScratch, CSysFile::kCreateWrite, &error))
                throw error;
            file.Write(journal.data(), static_cast<unsigned>(journal.size()));
            if (m_sync && ::fdatasync(file.Handle()) != 0)
                CFileException::ThrowErrno(errno, journalScratch);
            file.Close();
        }
        // Renamed into place only whole, so a journal that exists is complete.
        if (!RenameFile(journalScratch, journalPath))
            CFileException::ThrowErrno(errno, journalPath);
    } catch (...) {
        DeleteFile(journalScratch);
        throw;
    }
    if (m_sync)
        SyncPath(m_outputDir, true);

    int step = 2;
    std::vector<std::size_t> done;
    // Before the first old file is touched and before the .shp makes the set visible, the set is looked at
    // once more: a member in another letter case, or of an extension not placed, escapes the renames'
    // refusal.
    const auto refuseAppeared = [&](std::size_t i) {
        for (const std::u16string& member : ExistingSetMembers(FinalPath(u".shp"))) {
            const std::u16string name = member.substr(m_outputDir.size());
            if (!FoundAtBegin(name) && std::find(kept.begin(), kept.begin() + i, name) == kept.begin() + i)
                ThrowAppeared(member);
        }
    };
    bool replacing = false;
    try {
        for (std::size_t i = 0; i < order.size(); ++i) {
            const bool replace = FoundAtBegin(kept[i]);
            if (order[i].extension == u".shp") {
                TestHook(step++);
                refuseAppeared(i);
                for (const std::u16string& name : removed)
                    if (FoundAtBegin(name)) // else it changed meanwhile: it is left alone
                        DeleteFile(m_outputDir + name);
            }
            TestHook(step++);
            if (replace && !replacing)
                refuseAppeared(i);
            replacing = replacing || replace;
            const std::u16string final = m_outputDir + kept[i];
            if (replace ? !RenameFile(order[i].temp, final) : !RenameNoReplace(order[i].temp, final)) {
                if (errno == EEXIST)
                    ThrowAppeared(final);
                CFileException::ThrowErrno(errno, final);
            }
            done.push_back(i);
        }
    } catch (...) {
        // The new files go back to their temporary names, removed with the rest; what appeared stays.
        for (const std::size_t i : done)
            RenameFile(m_outputDir + kept[i], order[i].temp);
        DeleteFile(journalPath);
        throw;
    }
    TestHook(step);
    if (m_sync)
        SyncPath(m_outputDir, true);
    DeleteFile(journalPath);
    m_placed.clear();
    Unlock();
}

bool COutputFiles::FoundAtBegin(const std::u16string& name) const {
    std::pair<unsigned long long, unsigned long long> id{};
    if (!FileId(m_outputDir + name, id, false))
        return false;
    for (const SMember& member : m_atBegin)
        if (member.name == name && member.device == id.first && member.inode == id.second)
            return true;
    return false;
}

void COutputFiles::ThrowAppeared(const std::u16string& path) const {
    ThrowGenericError(path + u" appeared while the merge was writing; it is left as it was.");
}

void COutputFiles::RecoverLeftovers() {
    // Files of this output's earlier merges: ".<folded base>.~<pid>-<n>.<extension>".
    const std::u16string prefix = u"." + m_foldedBase + u".~";
    std::vector<std::u16string> tokens;
    for (const std::u16string& name : FolderNames(m_outputDir)) {
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const auto end = name.find(u'.', prefix.size());
        const std::u16string token =
            name.substr(prefix.size(), end == std::u16string::npos ? end : end - prefix.size());
        const long pid = std::strtol(ToUtf8(token).c_str(), nullptr, 10);
        if (pid == ::getpid() || ProcessAlive(pid))
            continue;
        if (std::find(tokens.begin(), tokens.end(), token) == tokens.end())
            tokens.push_back(token);
    }
    for (const std::u16string& token : tokens) {
        const std::u16string journalPath = m_outputDir + prefix + token + std::u16string(kJournalExtension);
        if (auto text = ReadSmallFile(journalPath, 1 << 16)) {
            // The commit had begun, over the set the dead merge checked: finish it as it would have.
            std::size_t at = 0;
            while (at < text->size()) {
                auto end = text->find('\n', at);
                if (end == std::string::npos)
                    end = text->size();
                const std::string line = text->substr(at, end - at);
                at = end + 1;
                const auto tab = line.find('\t');
                if (tab == std::string::npos)
                    continue;
                const std::u16string final = FromUtf8(line.substr(tab + 1));
                if (final.find(u'/') != std::u16string::npos || IsDirectory(m_outputDir + final))
                    continue;
                const std::u16string temp = m_outputDir + FromUtf8(line.substr(0, tab));
                if (line.compare(0, tab, "-") == 0)
                    DeleteFile(m_outputDir + final);
                else if (Occupied(temp))
                    RenameFile(temp, m_outputDir + final);
            }
            SyncPath(m_outputDir, true);
        }
        for (const std::u16string& name : FolderNames(m_outputDir))
            if (name.compare(0, prefix.size() + token.size() + 1, prefix + token + u".") == 0)
                DeleteFile(m_outputDir + name);
    }
}

void COutputFiles::TestHook(int step) const {
    static const int crashAt = [] {
        const char* text = std::getenv("FENNICK_COMMIT_CRASH");
        return text != nullptr ? std::atoi(text) : 0;
    }();
    if (crashAt == step)
        ::kill(::getpid(), SIGKILL);
    if (const char* appear = std::getenv("FENNICK_COMMIT_APPEAR");
        appear != nullptr && std::atoi(appear) == step) {
        const char* name = std::strchr(appear, ':');
        if (name != nullptr)
            std::ofstream(ToUtf8(m_outputDir) + (name + 1)) << "appeared";
    }
}

void COutputFiles::RemoveTemporaries() {
    for (const auto& placed : m_placed)
        DeleteFile(placed.temp);
    m_placed.clear();
    Unlock();
}

std::u16string COutputFiles::WithFinalNames(std::u16string text) const {
    // Only the placed files' names: a journal or a scratch copy is named as it is.
    for (const auto& placed : m_placed) {
        const std::u16string temp = placed.temp.substr(m_outputDir.size());
        const std::u16string final = FinalPath(placed.extension).substr(m_outputDir.size());
        for (auto at = text.find(temp); at != std::u16string::npos; at = text.find(temp, at + final.size()))
            text.replace(at, temp.size(), final);
    }
    return text;
}

} // namespace fennick
