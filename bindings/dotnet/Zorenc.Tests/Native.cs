// Where the tests find what the native builds made, and the simulated board.
using System;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using System.Threading.Tasks;

namespace Zorenc.Tests;

internal static class Native {
    private static readonly string BuildRoot =
        typeof(Native)
            .Assembly.GetCustomAttributes<AssemblyMetadataAttribute>()
            .First(a => a.Key == "ZorencBuildRoot")
            .Value!;

    internal static string
    Path(string variable, string underBuild) => Environment.GetEnvironmentVariable(variable)
                                                    is { Length : > 0 } given
                                                    ? given
                                                    : System.IO.Path.Combine(BuildRoot, underBuild);

    internal static string Library => Path("ZORENC_LIBRARY", "native/src/libzorenc_x64.so");
    internal static string Tools =>
        Path("ZORENC_TOOLS_LIBRARY", "native/companion/libzorenc_tools.so");
    internal static string Simulator => Path("ZORENC_SIM", "native/sim/zorenc-sim");
    internal static string X32Dll => Path("ZORENC_X32_DLL", "win32/src/zorenc_x32.dll");

    // The declarations name zorenc_x64 and zorenc_tools; point them at the build's files.
    [ModuleInitializer]
    internal static void FindLibrary()
    {
        NativeLibrary.SetDllImportResolver(typeof(Board).Assembly, (name, _, _) => name switch {
            "zorenc_x64" => NativeLibrary.Load(Library),
            "zorenc_tools" => NativeLibrary.Load(Tools),
            _ => IntPtr.Zero,
        });
    }
}

/// <summary>A zorenc-sim process with test commands on, ended by its pid.</summary>
public sealed class Sim : IDisposable {
    private readonly Process process;

    public Sim()
    {
        var start = new ProcessStartInfo(Native.Simulator, "--test-commands") {
            UseShellExecute = false,
            RedirectStandardOutput = true,
            RedirectStandardInput = true,
        };
        process =
            Process.Start(start) ?? throw new InvalidOperationException("zorenc-sim did not start");
        Task<string?> line = process.StandardOutput.ReadLineAsync();
        if (!line.Wait(TimeSpan.FromSeconds(10)) || string.IsNullOrEmpty(line.Result)) {
            Dispose();
            throw new InvalidOperationException("zorenc-sim gave no port");
        }
        Port = line.Result!.Trim();
    }

    public string Port { get; }

    public void Dispose()
    {
        if (!process.HasExited) {
            process.Kill();
        }
        process.WaitForExit(5000);
        process.Dispose();
    }
}

/// <summary>The simulated board's test commands, sent through an open board.</summary>
internal static class SimCommands {
    internal const int Silence = 1, BadChecksum = 3, Status = 4, Garbage = 5;
    internal const ushort FirmwareRegister = 0xF000;
    internal const ushort ClearRegister = 0xF005; // write-only

    /// <summary>Applies a fault to the next count requests.</summary>
    internal static void Fault(this Board board, int kind, uint param = 0,
                               int count = 1) => board.Send((byte)'F', (ushort)(kind | count << 8),
                                                            param);
}
