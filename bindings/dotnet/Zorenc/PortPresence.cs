// Whether a port is there, and why one did not open, as the operating system
// tells it: the library answers only "it failed" (ZorEncOpen) or a time-out.
using System;
using System.ComponentModel;
using System.IO;
using System.Net.Sockets;
using System.Runtime.InteropServices;

namespace Zorenc {
internal static class PortPresence {
    internal static bool IsNetworkName(string name)
    {
        int colon = name.IndexOf("://", StringComparison.Ordinal);
        if (colon < 0) {
            return false;
        }
        string scheme = name.Substring(0, colon);
        return string.Equals(scheme, "rfc2217", StringComparison.OrdinalIgnoreCase) ||
               string.Equals(scheme, "socket", StringComparison.OrdinalIgnoreCase);
    }

    /// <summary>Whether the device of a local port no longer exists (never for a network
    /// name).</summary>
    internal static bool Vanished(string name)
    {
        if (IsNetworkName(name)) {
            return false;
        }
        if (!RuntimeInformation.IsOSPlatform(OSPlatform.Windows)) {
            return !File.Exists(name);
        }
        string device =
            name.StartsWith(@"\\.\", StringComparison.Ordinal) ? name.Substring(4) : name;
        var target = new char[512];
        return QueryDosDevice(device, target, target.Length) == 0 &&
               Marshal.GetLastWin32Error() == ErrorFileNotFound;
    }

    /// <summary>Why a port did not open, in the operating system's words where it has
    /// them.</summary>
    internal static string OpenFailureReason(string name)
    {
        try {
            return IsNetworkName(name) ? NetworkReason(name) : LocalReason(name);
        } catch (Exception e) when (!(e is OutOfMemoryException)) {
            return "the port could not be opened (" + e.Message + ")";
        }
    }

    private static string LocalReason(string name)
    {
        if (RuntimeInformation.IsOSPlatform(OSPlatform.Windows)) {
            string path =
                name.StartsWith(@"\\.\", StringComparison.Ordinal) ? name : @"\\.\" + name;
            IntPtr file = CreateFile(path, GenericRead | GenericWrite, 0, IntPtr.Zero, OpenExisting,
                                     0, IntPtr.Zero);
            if (file == new IntPtr(-1)) {
                int code = Marshal.GetLastWin32Error();
                return code == ErrorAccessDenied ? "another program holds the port (access denied)"
                                                 : new Win32Exception(code).Message;
            }
            CloseHandle(file);
            return "the port could not be configured";
        }
        if (!File.Exists(name)) {
            return Directory.Exists(name) ? "not a serial device" : "no such device";
        }
        try {
            using (new FileStream(name, FileMode.Open, FileAccess.ReadWrite)) {}
        } catch (UnauthorizedAccessException) {
            return "permission denied (is your user in the group that owns the port, such as " +
                   "dialout?)";
        } catch (IOException e) {
            return e.Message;
        }
        return "the port could not be opened or configured (is another program using it, or " +
               "is it not a serial device?)";
    }

    private static string NetworkReason(string name)
    {
        string rest = name.Substring(name.IndexOf("://", StringComparison.Ordinal) + 3);
        int colon = rest.LastIndexOf(':');
        string host = colon > 0 ? rest.Substring(0, colon).Trim('[', ']') : "";
        if (host.Length == 0 || !int.TryParse(rest.Substring(colon + 1), out int port) ||
            port < 1 || port > 65535) {
            return "not a network port name (rfc2217://HOST:PORT or socket://HOST:PORT, PORT 1 " +
                   "to 65535)";
        }
        using (var client = new TcpClient())
        {
            try {
                if (!client.ConnectAsync(host, port).Wait(TimeSpan.FromSeconds(3))) {
                    return "no answer from " + host + ":" + port + " within 3 s";
                }
            } catch (AggregateException e) when (e.InnerException is SocketException s) {
                switch (s.SocketErrorCode) {
                case SocketError.ConnectionRefused:
                    return "connection refused by " + host + ":" + port;
                case SocketError.HostNotFound:
                case SocketError.NoData:
                case SocketError.TryAgain:
                    return "cannot resolve host " + host;
                default:
                    return "cannot connect to " + host + ":" + port + ": " + s.Message;
                }
            }
        }
        return host + ":" + port + " accepts connections, but the port did not open over one " +
               "(another client holds it, or the server speaks another protocol)";
    }

    private const int ErrorFileNotFound = 2;
    private const int ErrorAccessDenied = 5;
    private const uint GenericRead = 0x80000000;
    private const uint GenericWrite = 0x40000000;
    private const uint OpenExisting = 3;

    [DllImport("kernel32", EntryPoint = "QueryDosDeviceW", CharSet = CharSet.Unicode,
               SetLastError = true)]
    private static extern uint QueryDosDevice(string device, [Out] char[] target, int max);

    [DllImport("kernel32", EntryPoint = "CreateFileW", CharSet = CharSet.Unicode,
               SetLastError = true)]
    private static extern IntPtr CreateFile(string name, uint access, uint share, IntPtr security,
                                            uint disposition, uint flags, IntPtr template);

    [DllImport("kernel32", SetLastError = true)]
    private static extern bool CloseHandle(IntPtr handle);
}
}
