#pragma once

// Stand-in for loading a resource library: a shared object opened for its language and texts.
//
// Thread: the user-interface thread.

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class ResourceLibrary {
public:
    // Null when the file is missing or lacks the exports of a language library.
    static std::unique_ptr<ResourceLibrary> load(const std::string& path);
    ~ResourceLibrary();
    ResourceLibrary(const ResourceLibrary&) = delete;
    ResourceLibrary& operator=(const ResourceLibrary&) = delete;

    [[nodiscard]] std::uint16_t translationId() const;
    // Null where the library leaves the program's own text.
    [[nodiscard]] const char* string(std::uint32_t id) const;
    [[nodiscard]] const char* text(const char* english) const;

private:
    ResourceLibrary() = default;
    void* m_handle = nullptr;
    std::uint16_t (*m_translationId)() = nullptr;
    const char* (*m_string)(std::uint32_t) = nullptr;
    const char* (*m_text)(const char*) = nullptr;
};

}  // namespace platform
