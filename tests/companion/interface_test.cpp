// The companion library's C interface: its answer conventions, the Linux
// listing on a fake sysfs tree and the port identities resolved against it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <pthread.h>

#include "json.h"
#include "ports.h"
#include "zorenc_tools.h"

namespace companion = zorenc::companion;

namespace fs = std::filesystem;
using companion::Json;

namespace {

using ToolsFunction = char *(*)(const char *);

Json Call(ToolsFunction function, const char *request)
{
    char *answer = function(request);
    EXPECT_NE(answer, nullptr);
    Json document = Json::parse(answer ? answer : "null");
    ZorToolsFree(answer);
    return document;
}

char *Version(const char *)
{
    return ZorToolsVersion();
}

// A sysfs tree as udev shows it: two FTDI adapters (same ids, serials A1 and
// B2), a CDC ACM board, a native UART, a placeholder UART of type 0 and the
// pseudo-terminal master (no device).
class FakeSysfs {
public:
    FakeSysfs() : root_(fs::path(ZORTOOLS_TEST_DIR) / "sysfs")
    {
        fs::remove_all(root_);
        const fs::path usb = root_ / "devices/pci0000:00/0000:00:14.0/usb1";
        UsbSerial(usb / "1-2", "1-2:1.0", "ttyUSB0", "A1", "16");
        UsbSerial(usb / "1-3", "1-3:1.0", "ttyUSB1", "B2", "1");
        const fs::path acm = usb / "1-4";
        Write(acm / "idVendor", "2341");
        Write(acm / "idProduct", "0043");
        Write(acm / "product", "Uno");
        Write(acm / "manufacturer", "Ard\xFFuino \xC3"); // not UTF-8
        Tty("ttyACM0", acm / "1-4:1.0", "usb");
        Tty("ttyS0", root_ / "devices/platform/serial8250/tty/ttyS0", "platform", "4");
        Tty("ttyS1", root_ / "devices/platform/serial8250/tty/ttyS1", "platform", "0");
        fs::create_directories(root_ / "class/tty/ptmx");
    }
    ~FakeSysfs() { fs::remove_all(root_); }
    std::string Root() const { return root_.string(); }

private:
    static void Write(const fs::path &file, const std::string &text)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    }
    void UsbSerial(const fs::path &device, const char *interface, const char *tty,
                   const char *serial, const char *latency)
    {
        Write(device / "idVendor", "0403");
        Write(device / "idProduct", "6001");
        Write(device / "manufacturer", "FTDI");
        Write(device / "product", "FT232R USB UART");
        Write(device / "serial", serial);
        const fs::path port = device / interface / tty;
        Write(port / "latency_timer", latency);
        Tty(tty, port, "usb-serial");
    }
    void Tty(const std::string &name, const fs::path &device, const std::string &bus,
             const char *type = nullptr)
    {
        fs::create_directories(device);
        fs::create_directories(root_ / "bus" / bus);
        if (!fs::exists(device / "subsystem")) {
            fs::create_directory_symlink(root_ / "bus" / bus, device / "subsystem");
        }
        const fs::path entry = root_ / "class/tty" / name;
        fs::create_directories(entry);
        fs::create_directory_symlink(device, entry / "device");
        if (type != nullptr) {
            Write(entry / "type", type);
        }
    }
    fs::path root_;
};

std::string Request(const FakeSysfs &sysfs, const std::string &port)
{
    return Json{{"port", port}, {"sysfs_root", sysfs.Root()}}.dump();
}

} // namespace

TEST(ToolsInterface, AnswersOkOrAnErrorOfItsKind)
{
    struct Case {
        const char *name;
        ToolsFunction function;
        const char *request;
        const char *kind; // nullptr: ok
    };
    const Case cases[] = {
        {"version", Version, nullptr, nullptr},
        {"no request", ZorToolsListPorts, nullptr, nullptr},
        {"empty request", ZorToolsListPorts, "", nullptr},
        {"not JSON", ZorToolsListPorts, "{\"probe\": ", "usage"},
        {"not an object", ZorToolsListPorts, "[1, 2]", "usage"},
        {"wrong type", ZorToolsListPorts, "{\"probe\": 1}", "usage"},
        {"names not strings", ZorToolsListPorts, "{\"ports\": [7]}", "usage"},
        {"no port", ZorToolsResolvePort, "{}", "usage"},
        {"bad usb ids", ZorToolsResolvePort, "{\"port\": \"usb:04x3:6001\"}", "usage"},
        {"empty serial", ZorToolsResolvePort, "{\"port\": \"serial:\"}", "usage"},
        {"plain name", ZorToolsResolvePort, "{\"port\": \"/dev/ttyUSB7\"}", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Json answer = Call(c.function, c.request);
        if (c.kind == nullptr) {
            EXPECT_EQ(answer.at("ok"), true);
            EXPECT_TRUE(answer.contains("result"));
        } else {
            EXPECT_EQ(answer.at("ok"), false);
            EXPECT_EQ(answer.at("error").at("kind"), c.kind);
            EXPECT_FALSE(answer.at("error").at("message").get<std::string>().empty());
        }
    }
}

TEST(ToolsInterface, ListsUsbNativeAndSkipsPlaceholdersAndPseudoTerminals)
{
    FakeSysfs sysfs;
    const Json answer = Call(ZorToolsListPorts, Json{{"sysfs_root", sysfs.Root()}}.dump().c_str());
    const Json ports = answer.at("result");
    ASSERT_EQ(ports.size(), 4u) << ports.dump();
    const Json expected = Json::parse(R"([
      {"name": "/dev/ttyACM0", "description": "Uno", "transport": "usb", "vid": 9025,
       "pid": 67, "manufacturer": "Ard\\xFFuino \\xC3", "product": "Uno", "serial_number": null,
       "location": "1-4:1.0", "latency_timer_ms": null},
      {"name": "/dev/ttyS0", "description": "Built-in serial port", "transport": "native",
       "vid": null, "pid": null, "manufacturer": null, "product": null, "serial_number": null,
       "location": null, "latency_timer_ms": null},
      {"name": "/dev/ttyUSB0", "description": "FT232R USB UART", "transport": "usb",
       "vid": 1027, "pid": 24577, "manufacturer": "FTDI", "product": "FT232R USB UART",
       "serial_number": "A1", "location": "1-2:1.0", "latency_timer_ms": 16},
      {"name": "/dev/ttyUSB1", "description": "FT232R USB UART", "transport": "usb",
       "vid": 1027, "pid": 24577, "manufacturer": "FTDI", "product": "FT232R USB UART",
       "serial_number": "B2", "location": "1-3:1.0", "latency_timer_ms": 1}])");
    EXPECT_EQ(ports, expected);
}

TEST(ToolsInterface, ResolvesIdentitiesWithOneMatchAndListsWhatWasFoundOtherwise)
{
    FakeSysfs sysfs;
    struct Case {
        const char *port;
        const char *name; // nullptr: not found
    };
    const Case cases[] = {
        {"serial:B2", "/dev/ttyUSB1"},     {"serial:C3", nullptr},
        {"usb:2341:0043", "/dev/ttyACM0"}, {"usb:0403:6001", nullptr}, // two adapters
        {"usb:067B:2303", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.port);
        const Json answer = Call(ZorToolsResolvePort, Request(sysfs, c.port).c_str());
        if (c.name != nullptr) {
            EXPECT_EQ(answer.at("result").at("name"), c.name);
            continue;
        }
        ASSERT_EQ(answer.at("ok"), false);
        const Json &error = answer.at("error");
        EXPECT_EQ(error.at("kind"), "not-found");
        EXPECT_EQ(error.at("found").size(), 4u);
        const std::string message = error.at("message");
        EXPECT_NE(message.find("/dev/ttyUSB0 (usb 0403:6001 serial A1)"), std::string::npos)
            << message;
    }
}

// Every function that reads a request refuses one it cannot hold as a usage
// error with its place, and on a thread whose stack is a quarter of Windows'
// default 1 MiB: nesting is bounded while the request is read.
TEST(ToolsInterface, RequestsAreReadWithinBoundsByEveryFunction)
{
    using Call2 = char *(*)(ZorEncHandle, const char *);
    const std::pair<const char *, Call2> functions[] = {
        {"check", [](ZorEncHandle, const char *r) { return ZorToolsConfigCheck(r); }},
        {"diff", ZorToolsConfigDiff},
        {"apply", ZorToolsConfigApply},
        {"get", ZorToolsGetSetting},
        {"set", ZorToolsSetSetting},
        {"capture", ZorToolsCaptureStart},
        {"ports", [](ZorEncHandle, const char *r) { return ZorToolsListPorts(r); }},
    };
    const std::pair<std::string, const char *> requests[] = {
        {"{\"args\": " + std::string(100000, '[') + std::string(100000, ']') + "}",
         "nested deeper than 16 levels"},
        {"{\"config\": {\"version\": 1e309}}", "beyond the range"},
        {"{\"config\": {}, \"config\": {}}", "given twice"},
        {"{\"text\": \"a\\u0000\"}", "U+0000"},
        {std::string(companion::kMaxJsonBytes, ' ') + "{}", "larger than"},
    };
    struct Work {
        const std::pair<const char *, Call2> *functions;
        size_t count;
        const std::pair<std::string, const char *> *requests;
        size_t requestCount;
        std::vector<std::string> failures;
    } work{functions, std::size(functions), requests, std::size(requests), {}};
    auto run = [](void *argument) -> void * {
        Work &w = *static_cast<Work *>(argument);
        for (size_t f = 0; f < w.count; ++f) {
            for (size_t r = 0; r < w.requestCount; ++r) {
                char *answer = w.functions[f].second(0, w.requests[r].first.c_str());
                const std::string text = answer != nullptr ? answer : "";
                ZorToolsFree(answer);
                const Json error = Json::parse(text, nullptr, false).value("error", Json());
                if (!error.is_object() || error.value("kind", "") != "usage" ||
                    error.value("message", "").find(w.requests[r].second) == std::string::npos) {
                    w.failures.push_back(std::string(w.functions[f].first) + ": " + text);
                }
            }
        }
        return nullptr;
    };
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &work), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_TRUE(work.failures.empty()) << Json(work.failures).dump(1).substr(0, 2000);
}

// What a saved configuration records as the board's serial number.
TEST(ToolsPorts, UsbSerialNumberOnlyForAListedUsbAdapterThatTellsOne)
{
    FakeSysfs sysfs;
    const std::pair<const char *, const char *> cases[] = {
        {"/dev/ttyUSB1", "B2"},
        {"/dev/ttyACM0", ""}, // an adapter that tells none
        {"/dev/ttyS0", ""},   // native
        {"/dev/pts/3", ""},   // not listed
    };
    for (const auto &[port, serial] : cases) {
        EXPECT_EQ(companion::UsbSerialNumber(port, sysfs.Root()), serial) << port;
    }
}
