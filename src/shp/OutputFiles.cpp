#include "shp/OutputFiles.h"

#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/PathFunctions.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>

namespace fennick {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> g_tempCounter{0};

bool RenameFile(const std::u16string& from, const std::u16string& to) {
    return ::rename(ToUtf8(from).c_str(), ToUtf8(to).c_str()) == 0;
}

// Whether anything, a dangling link included, stands at the path.
bool Occupied(const std::u16string& path) {
    struct stat st {};
    return ::lstat(ToUtf8(path).c_str(), &st) == 0;
}

// The names in a folder ("" is the current one).
std::vector<std::u16string> FolderNames(const std::u16string& dir) {
    std::vector<std::u16string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir.empty() ? fs::path(".") : fs::path(ToUtf8(dir)), ec), end;
         !ec && it != end; it.increment(ec))
        names.push_back(FromUtf8(it->path().filename().string()));
    return names;
}

bool ProcessAlive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

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
    for (const std::u16string& name : FolderNames(dir))
        for (const std::u16string_view ext : SetExtensions())
            if (name.size() == base.size() + ext.size() &&
                EqualIgnoringCase(name, base + std::u16string(ext))) {
                found.push_back(dir + name);
                break;
            }
    return found;
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

    Lock(m_outputDir + u"." + m_outputBase + u".lock");
    RecoverLeftovers();
    if (!overwrite) {
        const std::vector<std::u16string> existing = ExistingSetMembers(FinalPath(u".shp"));
        if (!existing.empty())
            ThrowGenericError(existing.front() + u" already exists; use --overwrite to replace it.");
    }

    // A hidden name in the output's folder that nothing uses yet, for any file a commit may move.
    static const char16_t* const kExtensions[] = {u".shp", u".shx", u".dbf", u".cpg", u".prj", u".commit"};
    for (;;) {
        const std::string token = std::to_string(::getpid()) + "-" + std::to_string(++g_tempCounter);
        m_tempBase = u"." + m_outputBase + u".~" + std::u16string(token.begin(), token.end());
        bool free = true;
        for (const char16_t* ext : kExtensions)
            free = free && !Occupied(TempPath(ext)) && !Occupied(TempPath(u".new" + std::u16string(ext))) &&
                   !Occupied(TempPath(u".old" + std::u16string(ext)));
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
    std::error_code ec;
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

// The commit, in order, and what a crash at each point leaves:
//  1. A journal (the temporary ".commit") lists each placed temporary and the final name it takes. A crash
//     before it is complete leaves the old set untouched and temporaries of a process that no longer runs,
//     which the next merge to the output removes.
//  2. Each placed file but the .shp takes its final name (an existing file of that name is first renamed
//     aside under the temporary base, and removed at the end).
//  3. The members of the set that no placed file replaces (a stale .prj, an old spatial index) are removed.
//  4. The .shp takes its final name, last, so a reader sees the new .shp only once the rest is in place.
//  5. The files moved aside and the journal are removed.
// A crash from 2 to 5 leaves the journal; the next merge to the output finishes the commit from it before
// anything else (RecoverLeftovers), so the new set then stands whole.
void COutputFiles::Commit() {
    std::vector<SPlaced> order;
    for (const auto& placed : m_placed)
        if (placed.extension != u".shp")
            order.push_back(placed);
    for (const auto& placed : m_placed)
        if (placed.extension == u".shp")
            order.push_back(placed);
    std::vector<std::u16string> kept;
    std::string journal;
    for (const auto& placed : order) {
        kept.push_back(FinalPath(placed.extension).substr(m_outputDir.size()));
        journal += ToUtf8(placed.temp.substr(m_outputDir.size())) + "\t" + ToUtf8(kept.back()) + "\n";
    }

    CrashPointForTests(1);
    const std::u16string journalPath = TempPath(u".commit");
    const std::u16string journalScratch = TempPath(u".new.commit");
    {
        std::ofstream out(ToUtf8(journalScratch), std::ios::binary | std::ios::trunc);
        out << journal;
        out.flush();
        if (!out)
            CFileException::ThrowErrno(errno != 0 ? errno : EIO, journalScratch);
    }
    // Renamed into place only whole, so a journal that exists is complete.
    if (!RenameFile(journalScratch, journalPath)) {
        const int err = errno;
        DeleteFile(journalScratch);
        CFileException::ThrowErrno(err, FinalPath(u".shp"));
    }
    int step = 2;
    std::vector<std::u16string> asides;
    for (const auto& placed : order) {
        if (placed.extension == u".shp") {
            CrashPointForTests(step++);
            RemoveOtherMembers(kept);
        }
        CrashPointForTests(step++);
        const std::u16string final = FinalPath(placed.extension);
        // An existing file is moved aside just before its replacement arrives: ext4 writes a file's data out
        // at once when it is renamed over another (a merge of 250 MB took 1.7 times as long), and the journal
        // already covers the moment the name is missing.
        if (Occupied(final)) {
            const std::u16string aside = TempPath(u".old" + placed.extension);
            if (RenameFile(final, aside))
                asides.push_back(aside);
        }
        if (!RenameFile(placed.temp, final))
            CFileException::ThrowErrno(errno, final);
    }
    CrashPointForTests(step);
    for (const std::u16string& aside : asides)
        DeleteFile(aside);
    DeleteFile(journalPath);
    m_placed.clear();
    Unlock();
}

void COutputFiles::RemoveOtherMembers(const std::vector<std::u16string>& kept) const {
    for (const std::u16string& member : ExistingSetMembers(FinalPath(u".shp"))) {
        const std::u16string name = member.substr(m_outputDir.size());
        if (std::find(kept.begin(), kept.end(), name) == kept.end())
            DeleteFile(member);
    }
}

void COutputFiles::RecoverLeftovers() {
    // Files of this output's earlier merges: ".<base>.~<pid>-<n>.<extension>".
    const std::u16string prefix = u"." + m_outputBase + u".~";
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
        const std::u16string journalPath = m_outputDir + prefix + token + u".commit";
        if (auto text = ReadSmallFile(journalPath, 1 << 16)) {
            // The commit had begun: finish it.
            std::vector<std::u16string> kept;
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
                const std::u16string temp = m_outputDir + FromUtf8(line.substr(0, tab));
                kept.push_back(FromUtf8(line.substr(tab + 1)));
                if (Occupied(temp) && kept.back().find(u'/') == std::u16string::npos)
                    RenameFile(temp, m_outputDir + kept.back());
            }
            RemoveOtherMembers(kept);
        }
        for (const std::u16string& name : FolderNames(m_outputDir))
            if (name.compare(0, prefix.size() + token.size() + 1, prefix + token + u".") == 0)
                DeleteFile(m_outputDir + name);
    }
}

void COutputFiles::CrashPointForTests(int step) {
    static const int crashAt = [] {
        const char* text = std::getenv("FENNICK_COMMIT_CRASH");
        return text != nullptr ? std::atoi(text) : 0;
    }();
    if (crashAt == step)
        ::kill(::getpid(), SIGKILL);
}

void COutputFiles::RemoveTemporaries() {
    for (const auto& placed : m_placed)
        DeleteFile(placed.temp);
    m_placed.clear();
    Unlock();
}

std::u16string COutputFiles::WithFinalNames(std::u16string text) const {
    if (m_tempBase.empty())
        return text;
    for (auto at = text.find(m_tempBase); at != std::u16string::npos;
         at = text.find(m_tempBase, at + m_outputBase.size()))
        text.replace(at, m_tempBase.size(), m_outputBase);
    return text;
}

} // namespace fennick
