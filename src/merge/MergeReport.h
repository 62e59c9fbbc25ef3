#pragma once
// What a merge planned and did, for people and for programs: the field plan as text, and the check's verdict
// or the merge's report as one JSON object (words, not internal numbers; records counted from 1).

#include "merge/ShpMerge.h"

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace fennick {

class CException;

// The plan as a table, one line per field: the name as written, its form (C(30), N(12.2)) and its notes.
std::u16string FieldPlanText(const std::vector<SPlannedField>& plan);
// A code page in words: "UTF-8", "windows-1252", "ISO-8859-2", "CP850"; null for none.
nlohmann::ordered_json CodePageJson(int codePage);
// [{"name", "type", "letter", "width", "decimals", "notes"}].
nlohmann::ordered_json FieldPlanJson(const std::vector<SPlannedField>& plan);
// One entry per input the check reached: "path", "shape_type", "records", "bounds" ({"minx", "miny", "maxx",
// "maxy"}, null when empty), "code_page",
// "code_page_declared", "coordinate_system", "converted", "warnings", and after a merge "records_written"
// and "records_skipped" [{"record", "reason"}].
nlohmann::ordered_json InputsJson(const CShpMerge& engine, bool merged);
// [{"path", "record", "field", "value", "why"}].
nlohmann::ordered_json UnwritableTextsJson(const std::vector<SUnwritableText>& texts);

// The report of one run, whatever its outcome: begun with the command, ended with the engine's state and
// either success or the failure.
class CMergeReport {
public:
    explicit CMergeReport(std::vector<std::string> command);
    // The outcome words: "success", "failure" or "cancelled" (a failure whose text is the cancel's).
    // An empty outputPath: a check that passed, which writes no output.
    void Succeeded(const CShpMerge& engine, const std::u16string& outputPath);
    void Failed(const CShpMerge& engine, const CException& failure);
    void Failed(const CShpMerge& engine, const std::u16string& message, const std::u16string& reason);
    const nlohmann::ordered_json& Report() const { return m_json; }
    // Writes the report (two-space indents); false with the system's reason when it cannot be written.
    bool Write(const std::u16string& path, std::u16string& why) const;

private:
    void Fill(const CShpMerge& engine, bool merged);

    std::vector<std::string> m_command;
    std::chrono::system_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_clock;
    nlohmann::ordered_json m_json;
};

} // namespace fennick
