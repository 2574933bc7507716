#include "platform/ResourceLibrary.h"

#include "resources/Satellite.h"

#include <dlfcn.h>

namespace platform {

std::unique_ptr<ResourceLibrary> ResourceLibrary::load(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return nullptr;
    }
    std::unique_ptr<ResourceLibrary> library(new ResourceLibrary);
    library->m_handle = handle;
    library->m_translationId =
        reinterpret_cast<KorvaneTranslationIdFunction>(::dlsym(handle, kTranslationIdSymbol));
    library->m_string = reinterpret_cast<KorvaneStringFunction>(::dlsym(handle, kStringSymbol));
    library->m_text = reinterpret_cast<KorvaneTextFunction>(::dlsym(handle, kTextSymbol));
    if (library->m_translationId == nullptr || library->m_string == nullptr) {
        return nullptr;
    }
    return library;
}

ResourceLibrary::~ResourceLibrary() {
    if (m_handle != nullptr) ::dlclose(m_handle);
}

std::uint16_t ResourceLibrary::translationId() const {
    return m_translationId();
}

const char* ResourceLibrary::string(std::uint32_t id) const {
    return m_string(id);
}

const char* ResourceLibrary::text(const char* english) const {
    return m_text != nullptr ? m_text(english) : nullptr;
}

}  // namespace platform
