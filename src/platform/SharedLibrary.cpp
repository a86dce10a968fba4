#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace PLATFORM {

bool CSharedLibrary::Open(const char* fileName)
{
    m_handle = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    return m_handle != nullptr;
}

void* CSharedLibrary::Symbol(const char* name) const
{
    return m_handle ? ::dlsym(m_handle, name) : nullptr;
}

const char* CSharedLibrary::Error()
{
    return ::dlerror();
}

}  // namespace PLATFORM
