#include "merge/InputList.h"

#include "coordsys/GdalModule.h"
#include "platform/CodePage.h"
#include "platform/GenericEx.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

namespace fennick {

namespace fs = std::filesystem;

namespace {

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

char16_t Folded(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// -1, 0 or 1 as a comes before, with or after b in natural order, letter case ignored.
int NaturalCompare(std::u16string_view a, std::u16string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Leading zeros aside, the longer run is the larger number; equal lengths compare digit by digit.
            while (i < a.size() && a[i] == u'0' && i + 1 < a.size() && IsDigit(a[i + 1]))
                ++i;
            while (j < b.size() && b[j] == u'0' && j + 1 < b.size() && IsDigit(b[j + 1]))
                ++j;
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && IsDigit(a[endA]))
                ++endA;
            while (endB < b.size() && IsDigit(b[endB]))
                ++endB;
            if (endA - i != endB - j)
                return endA - i < endB - j ? -1 : 1;
            if (const int c = a.substr(i, endA - i).compare(b.substr(j, endB - j)); c != 0)
                return c < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        if (Folded(a[i]) != Folded(b[j]))
            return Folded(a[i]) < Folded(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return 0;
}

// The extensions of the vector formats a folder's files are taken in as layers by (GDAL reads them); CSV
// and JSON files are left out, being as often something else.
constexpr std::u16string_view kVectorExtensions[] = {u".gpkg", u".geojson", u".geojsonl", u".geojsons",
                                                     u".fgb",  u".kml",     u".kmz",      u".gml",
                                                     u".mif",  u".sqlite",  u".gdb"};

std::u16string_view ExtensionOf(const std::u16string& name) {
    const std::size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? std::u16string_view() : std::u16string_view(name).substr(dot);
}

bool IsVectorName(const std::u16string& name) {
    const std::u16string_view extension = ExtensionOf(name);
    for (std::u16string_view known : kVectorExtensions)
        if (EqualIgnoringAsciiCase(extension, known))
            return true;
    return false;
}

bool IsLayerName(const std::u16string& name) {
    const std::u16string_view extension = ExtensionOf(name);
    return EqualIgnoringAsciiCase(extension, u".shp") || EqualIgnoringAsciiCase(extension, u".tab") ||
           IsVectorName(name);
}

bool IsGdbName(const std::u16string& name) {
    return EqualIgnoringAsciiCase(ExtensionOf(name), u".gdb");
}

// A vector source with several layers stands for each of them, SOURCE:LAYER; else for itself.
void AddVectorLayers(const std::u16string& path, std::vector<std::u16string>& layers) {
    std::vector<std::u16string> names;
    const SGdalModuleEntries* module = GdalModule();
    if (module != nullptr && module->listLayers(path, names) && names.size() > 1) {
        for (const std::u16string& name : names)
            layers.push_back(path + u":" + name);
        return;
    }
    layers.push_back(path);
}

void FailFolder(const std::u16string& folder, const std::error_code& error) {
    ThrowGenericError(u"The folder cannot be read.", folder, FromUtf8(error.message()));
}

void CollectLayers(const fs::path& folder, const std::u16string& folderText, bool recursive,
                   const fs::path& output, std::vector<std::u16string>& layers) {
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error)
        FailFolder(folderText, error);
    std::vector<std::u16string> files;
    std::vector<std::u16string> folders;
    for (auto it = fs::begin(entries); it != fs::end(entries); it.increment(error)) {
        if (error)
            FailFolder(folderText, error);
        const std::u16string name = FromUtf8(it->path().filename().native());
        if (name.empty() || name[0] == u'.')
            continue;
        std::error_code kindError;
        const bool directory = it->is_symlink(kindError) ? false : it->is_directory(kindError);
        if (directory && IsGdbName(name)) {
            files.push_back(name); // a File Geodatabase is one source
        } else if (directory) {
            if (recursive)
                folders.push_back(name);
        } else if (IsLayerName(name) && it->is_regular_file(kindError)) {
            if (!output.empty() && fs::equivalent(it->path(), output, kindError))
                continue; // the output's own set is never an input
            files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end(), NaturalLess);
    std::sort(folders.begin(), folders.end(), NaturalLess);
    std::u16string prefix = folderText;
    if (!prefix.empty() && prefix.back() != u'/')
        prefix += u'/';
    for (const std::u16string& name : files) {
        if (IsVectorName(name))
            AddVectorLayers(prefix + name, layers);
        else
            layers.push_back(prefix + name);
    }
    for (const std::u16string& name : folders)
        CollectLayers(folder / fs::path(ToUtf8(name)), prefix + name, recursive, output, layers);
}

std::string ReadList(const std::u16string& argument) {
    if (argument == u"@-")
        return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    std::ifstream in(ToUtf8(argument.substr(1)), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof())
        ThrowGenericError(u"The list of inputs cannot be read.", argument.substr(1));
    if (!in.is_open())
        ThrowGenericError(u"The list of inputs cannot be read.", argument.substr(1), u"It cannot be opened.");
    return text;
}

// A folder named as a layer (roads.shp) stays a layer path, which fails as any unreadable layer does.
bool IsFolder(const std::u16string& path) {
    std::error_code error;
    return !path.empty() && !IsLayerName(path) && fs::is_directory(fs::path(ToUtf8(path)), error);
}

} // namespace

bool NaturalLess(std::u16string_view a, std::u16string_view b) {
    const int c = NaturalCompare(a, b);
    return c != 0 ? c < 0 : a < b;
}

std::vector<std::u16string> LayersInFolder(const std::u16string& folder, bool recursive,
                                           const std::u16string& outputMain) {
    std::vector<std::u16string> layers;
    CollectLayers(fs::path(ToUtf8(folder)), folder, recursive, fs::path(ToUtf8(outputMain)), layers);
    return layers;
}

std::vector<std::u16string> ParseInputList(std::string_view text) {
    std::vector<std::u16string> paths;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#')
            continue;
        paths.push_back(FromUtf8(line));
    }
    return paths;
}

std::vector<std::u16string> ExpandInputs(const std::vector<std::u16string>& arguments, bool recursive,
                                         const std::u16string& outputMain,
                                         std::vector<SInputSource>* sources) {
    std::vector<std::u16string> inputs;
    for (const std::u16string& argument : arguments) {
        const std::size_t before = inputs.size();
        const bool list = argument.size() > 1 && argument[0] == u'@';
        const bool folder = !list && IsFolder(argument);
        if (list) {
            for (const std::u16string& path : ParseInputList(ReadList(argument))) {
                if (IsFolder(path)) {
                    const std::vector<std::u16string> layers = LayersInFolder(path, recursive, outputMain);
                    inputs.insert(inputs.end(), layers.begin(), layers.end());
                } else {
                    inputs.push_back(path);
                }
            }
        } else if (folder) {
            const std::vector<std::u16string> layers = LayersInFolder(argument, recursive, outputMain);
            inputs.insert(inputs.end(), layers.begin(), layers.end());
        } else {
            inputs.push_back(argument);
        }
        if ((list || folder) && inputs.size() == before)
            ThrowGenericError(list ? u"The list names no layer." : u"The folder holds no layer.",
                              list ? argument.substr(1) : argument,
                              folder && !recursive ? u"Its subfolders are searched with --recursive."
                                                   : std::u16string());
        if (sources != nullptr)
            sources->push_back({argument, list || folder, inputs.size() - before});
    }
    return inputs;
}

} // namespace fennick
