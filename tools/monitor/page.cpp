#include "page.h"

namespace zormon {

// A placeholder until the page with its plots and form is built; it shows
// that the server answers and where the endpoints are.
const std::string &IndexPage()
{
    static const std::string page = R"(<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><title>zorenc monitor</title></head>
<body>
<h1>zorenc monitor</h1>
<p>The monitor is running. Its endpoints are described in docs/monitor.md.</p>
</body>
</html>
)";
    return page;
}

} // namespace zormon
