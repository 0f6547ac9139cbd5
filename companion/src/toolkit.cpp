#include "toolkit.h"

#include "zorenc_version.h"

namespace zorenc::companion {

const char *Version()
{
    return ZORENC_VERSION_STRING;
}

} // namespace zorenc::companion
