#include "merge/MergeReport.h"

#include "data/GeoTypes.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "shp/OutputFiles.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace fennick {

namespace {

using Json = nlohmann::ordered_json;

std::string Utf8(const std::u16string& text) {
    return ToUtf8(text);
}

std::string IsoTime(std::chrono::system_clock::time_point at) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// A warning names its input first: "path: ...".
bool IsAbout(const std::u16string& warning, const std::u16string& path) {
    return warning.size() > path.size() + 1 && warning.compare(0, path.size(), path) == 0 &&
           warning[path.size()] == u':';
}

} // namespace

std::u16string FieldPlanText(const std::vector<SPlannedField>& plan) {
    std::u16string text;
    for (const SPlannedField& field : plan) {
        std::u16string form(1, static_cast<char16_t>(field.letter));
        form += u'(';
        form += Utf16Number(field.width);
        if (field.decimals > 0) {
            form += u'.';
            form += Utf16Number(field.decimals);
        }
        form += u')';
        std::u16string line = u"  " + field.name;
        line.resize(std::max<std::size_t>(line.size() + 1, 13), u' ');
        line += form;
        if (!field.notes.empty()) {
            line.resize(std::max<std::size_t>(line.size() + 1, 22), u' ');
            for (std::size_t i = 0; i < field.notes.size(); ++i)
                line.append(i > 0 ? u"; " : u"").append(field.notes[i]);
        }
        text.append(line).append(u"\n");
    }
    return text;
}

Json CodePageJson(int codePage) {
    if (codePage <= 0)
        return nullptr;
    if (codePage == 65001)
        return "UTF-8";
    if (codePage >= 1250 && codePage <= 1258)
        return "windows-" + std::to_string(codePage);
    if (codePage >= 28591 && codePage <= 28599)
        return "ISO-8859-" + std::to_string(codePage - 28590);
    return "CP" + std::to_string(codePage);
}

Json FieldPlanJson(const std::vector<SPlannedField>& plan) {
    nlohmann::ordered_json fields = nlohmann::ordered_json::array();
    for (const SPlannedField& field : plan) {
        nlohmann::ordered_json notes = nlohmann::ordered_json::array();
        for (const std::u16string& note : field.notes)
            notes.push_back(Utf8(note));
        fields.push_back({{"name", Utf8(field.name)},
                          {"type", FieldTypeName(field.type)},
                          {"letter", std::string(1, field.letter)},
                          {"width", field.width},
                          {"decimals", field.decimals},
                          {"notes", std::move(notes)}});
    }
    return fields;
}

Json InputsJson(const CShpMerge& engine, bool merged) {
    nlohmann::ordered_json inputs = nlohmann::ordered_json::array();
    for (const SInputFacts& facts : engine.InputFacts()) {
        nlohmann::ordered_json warnings = nlohmann::ordered_json::array();
        for (const std::u16string& warning : engine.Warnings())
            if (IsAbout(warning, facts.path))
                warnings.push_back(Utf8(warning.substr(facts.path.size() + 2)));
        nlohmann::ordered_json input = {{"path", Utf8(facts.path)},
                                        {"shape_type", ShapeTypeName(facts.shapeType, facts.variant)},
                                        {"records", facts.records},
                                        {"bounds", facts.bounds.IsEmpty()
                                                       ? nlohmann::ordered_json(nullptr)
                                                       : nlohmann::ordered_json{{"minx", facts.bounds.left},
                                                                                {"miny", facts.bounds.bottom},
                                                                                {"maxx", facts.bounds.right},
                                                                                {"maxy", facts.bounds.top}}},
                                        {"code_page", CodePageJson(facts.codePage)},
                                        {"code_page_declared", facts.codePageDeclared},
                                        {"coordinate_system", Utf8(facts.coordSys)},
                                        {"converted", facts.converted}};
        if (merged) {
            nlohmann::ordered_json skipped = nlohmann::ordered_json::array();
            for (const auto& [record, reason] : facts.skipped)
                skipped.push_back({{"record", record}, {"reason", Utf8(reason)}});
            input["records_read"] = facts.written + static_cast<int64_t>(facts.skipped.size());
            input["records_written"] = facts.written;
            input["records_skipped"] = std::move(skipped);
        }
        input["warnings"] = std::move(warnings);
        inputs.push_back(std::move(input));
    }
    return inputs;
}

Json UnwritableTextsJson(const std::vector<SUnwritableText>& texts) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const SUnwritableText& text : texts)
        list.push_back({{"path", Utf8(text.path)},
                        {"record", text.record},
                        {"field", Utf8(text.field)},
                        {"value", Utf8(text.value)},
                        {"why", Utf8(text.why)}});
    return list;
}

CMergeReport::CMergeReport(std::vector<std::string> command)
    : m_command(std::move(command)), m_started(std::chrono::system_clock::now()),
      m_clock(std::chrono::steady_clock::now()) {}

void CMergeReport::Fill(const CShpMerge& engine, bool merged) {
    m_json["command"] = m_command;
    m_json["inputs"] = InputsJson(engine, merged);
    m_json["fields"] = FieldPlanJson(engine.FieldPlan());
    nlohmann::ordered_json warnings = nlohmann::ordered_json::array();
    for (const std::u16string& warning : engine.Warnings())
        warnings.push_back(Utf8(warning));
    m_json["warnings"] = std::move(warnings);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_clock).count();
    m_json["times"] = {{"started", IsoTime(m_started)},
                       {"finished", IsoTime(std::chrono::system_clock::now())},
                       {"seconds", seconds}};
}

void CMergeReport::Succeeded(const CShpMerge& engine, const std::u16string& outputPath) {
    m_json = nlohmann::ordered_json::object();
    m_json["outcome"] = "success";
    Fill(engine, !outputPath.empty());
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    const std::u16string main = COutputFiles::MainFilePath(outputPath);
    const std::u16string base = main.substr(0, main.size() - 4);
    for (const char16_t* extension : {u".shp", u".shx", u".dbf", u".prj", u".cpg"}) {
        std::error_code error;
        const std::string path = ToUtf8(base + extension);
        const auto bytes = std::filesystem::file_size(path, error);
        if (!error)
            files.push_back({{"path", path}, {"bytes", bytes}});
    }
    if (outputPath.empty()) {
        m_json["output"] = nullptr; // a check writes none
        return;
    }
    m_json["output"] = {{"path", Utf8(main)},
                        {"records", engine.RecordsWritten()},
                        {"records_skipped", engine.SkippedRecords()},
                        {"code_page", CodePageJson(engine.OutputCodePage())},
                        {"files", std::move(files)}};
}

void CMergeReport::Failed(const CShpMerge& engine, const CException& failure) {
    Failed(engine, failure.Message(), failure.Detail());
}

void CMergeReport::Failed(const CShpMerge& engine, const std::u16string& message,
                          const std::u16string& reason) {
    m_json = nlohmann::ordered_json::object();
    m_json["outcome"] = message == u"The action has been cancelled." ? "cancelled" : "failure";
    m_json["message"] = Utf8(message);
    m_json["reason"] = Utf8(reason);
    Fill(engine, true);
    m_json["output"] = nullptr;
}

bool CMergeReport::Write(const std::u16string& path, std::u16string& why) const {
    std::ofstream out(ToUtf8(path), std::ios::binary | std::ios::trunc);
    out << m_json.dump(2) << '\n';
    out.flush();
    if (out.good())
        return true;
    why = FromUtf8(std::strerror(errno));
    return false;
}

} // namespace fennick
