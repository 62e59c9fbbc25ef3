#pragma once
// IString: a wide text used as an out-parameter; CIString is the value object behind it.

#include <string>
#include <string_view>

namespace fennick {

class IString {
public:
    virtual const char16_t* GetText() = 0;
    // Converts narrow text with the code page and replaces the text. A negative code page, or a conversion
    // that yields nothing, turns each byte into one unit read as a signed 8-bit value. Returns 0 and keeps
    // the text when the narrow text is null or empty.
    virtual int SetFromMultiByte(const char* text, int codePage) = 0;
    // Replaces the text; null sets it empty. Returns 1.
    virtual int SetText(const char16_t* text) = 0;

protected:
    ~IString() = default;
};

class CIString final : public IString {
public:
    CIString() = default;
    explicit CIString(std::u16string text) : m_text(std::move(text)) {}

    const char16_t* GetText() override { return m_text.c_str(); }
    int SetFromMultiByte(const char* text, int codePage) override;
    int SetText(const char16_t* text) override;

    // The same conversion over a counted narrow text (no terminating zero needed).
    int SetFromMultiByte(std::string_view text, int codePage);
    void Set(std::u16string text) { m_text = std::move(text); }
    const std::u16string& Str() const { return m_text; }

private:
    std::u16string m_text;
};

} // namespace fennick
