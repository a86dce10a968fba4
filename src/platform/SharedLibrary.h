// A shared library opened while the program runs, for parts that must work
// on machines without it. It stays loaded for the rest of the process.
#pragma once

#include <QString>

namespace PLATFORM {

class CSharedLibrary {
public:
    // Loads the library by its file name (searched as the dynamic linker
    // does), every symbol bound now, none of them visible to other libraries.
    // False when it cannot be loaded; Error says why.
    bool Open(const char* fileName);
    bool IsOpen() const { return m_handle != nullptr; }
    // The address of the symbol name, or null (Error says why).
    void* Symbol(const char* name) const;
    // The loader's text for the last failure of Open or Symbol, once; null
    // when the loader reported none since.
    static const char* Error();

private:
    void* m_handle = nullptr;
};

}  // namespace PLATFORM
