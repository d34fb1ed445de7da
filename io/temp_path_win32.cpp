#include "temp_path.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace bexen::io {

std::uint32_t queryTempPath(std::uint32_t length, char *buffer)
{
    return ::GetTempPathA(length, buffer);
}

} // namespace bexen::io
