#include "shp/OutputFiles.h"

#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/PathFunctions.h"
#include "platform/TextCase.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace fennick {

namespace {

std::atomic<unsigned> g_tempCounter{0};

bool RenameFile(const std::u16string& from, const std::u16string& to) {
    return ::rename(ToUtf8(from).c_str(), ToUtf8(to).c_str()) == 0;
}

} // namespace

COutputFiles::~COutputFiles() {
    RemoveTemporaries();
}

std::u16string COutputFiles::TempPath(const std::u16string& extension) const {
    return JoinPath(m_outputDir, m_tempBase, extension);
}

std::u16string COutputFiles::FinalPath(std::u16string_view extension) const {
    return JoinPath(m_outputDir, m_outputBase, std::u16string(extension));
}

void COutputFiles::Begin(const std::u16string& path) {
    m_outputDir = GetDirectoryPart(path);
    m_outputBase = GetFileBaseName(path);

    // A hidden name in the output's folder that nothing uses yet, for any file a commit may move.
    static const char16_t* const kExtensions[] = {u".shp", u".shx", u".dbf", u".cpg", u".prj"};
    for (;;) {
        const std::string token = std::to_string(::getpid()) + "-" + std::to_string(++g_tempCounter);
        m_tempBase = u"." + m_outputBase + u".~" + std::u16string(token.begin(), token.end());
        bool free = true;
        for (const char16_t* ext : kExtensions)
            free = free && !PathExists(TempPath(ext)) &&
                   !PathExists(TempPath(u".old" + std::u16string(ext))) &&
                   !PathExists(TempPath(u".new" + std::u16string(ext)));
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

void COutputFiles::Commit(std::initializer_list<std::u16string_view> stale) {
    struct SStep {
        std::u16string temp, final, backup;
        bool backedUp = false;
        bool placed = false;
    };
    std::vector<SStep> steps;
    for (const auto& placed : m_placed)
        steps.push_back({placed.temp, FinalPath(placed.extension), TempPath(u".old" + placed.extension)});
    for (const std::u16string_view extension : stale)
        if (!IsPlaced(extension))
            steps.push_back(
                {std::u16string(), FinalPath(extension), TempPath(u".old" + std::u16string(extension))});

    auto rollBack = [&](const std::u16string& failedPath, int err) {
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            if (it->placed)
                RenameFile(it->final, it->temp);
            if (it->backedUp)
                RenameFile(it->backup, it->final);
        }
        CFileException::ThrowErrno(err, failedPath);
    };
    // Move existing files of the output's name aside first, so that a failure can restore them.
    for (auto& step : steps) {
        if (!PathExists(step.final))
            continue;
        if (!RenameFile(step.final, step.backup))
            rollBack(step.final, errno);
        step.backedUp = true;
    }
    for (auto& step : steps) {
        if (step.temp.empty())
            continue;
        if (!RenameFile(step.temp, step.final))
            rollBack(step.final, errno);
        step.placed = true;
    }
    for (const auto& step : steps)
        if (step.backedUp)
            DeleteFile(step.backup);
    m_placed.clear();
}

void COutputFiles::RemoveTemporaries() {
    for (const auto& placed : m_placed)
        DeleteFile(placed.temp);
    m_placed.clear();
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
