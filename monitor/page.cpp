#include "page.h"

// Generated at build time from monitor/web/ (web/page.cmake).
#include "monitor_page_data.h"

namespace zorenc::monitor {

const std::string &IndexPage()
{
    static const std::string page(reinterpret_cast<const char *>(kPageBytes), sizeof kPageBytes);
    return page;
}

} // namespace zorenc::monitor
