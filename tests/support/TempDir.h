#pragma once
// A fresh temporary folder per test, removed with everything in it when the test ends.

#include <string>

namespace fennick::test {

class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // The folder joined with name, as UTF-8 and as the program's wide text.
    std::string Path(const std::string& name) const { return m_path + "/" + name; }
    std::u16string WPath(const std::string& name) const;

    // Writes bytes to a file inside the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    // Reads a whole file (empty when it cannot be read).
    static std::string Read(const std::string& path);

private:
    std::string m_path;
};

} // namespace fennick::test
